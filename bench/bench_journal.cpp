// What one event costs the journal's writer: before it appends, it reads what Journal.csv holds
// and finds which lines the file lacks. Figures for files of a term, a year and ten years of runs.
//
//   bench_journal
//
// For each size it prints the file's size and the time JournalAppend takes for one new line.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "run/uJournal.h"

int main() {
  for (int runs : {300, 3000, 30000}) {  // about ten lines a run
    std::string file = JournalFileHeader();
    TJournalEntry last;
    for (int r = 0; r < runs; ++r) {
      TJournal run;
      // A stamp of its own for each run, as the file of a real machine has.
      const TJournalTime start{2000 + r / 336, 1 + r / 28 % 12, 1 + r % 28, 8, 0, 0};
      run.StartRun(start);
      for (int e = 0; e < 10; ++e) {
        run.Add({start.Year, start.Month, start.Day, start.Hour, start.Minute, e},
                e == 0 ? journal::Start : journal::Warning,
                "Compte à rebours de 2:00:00, fin 11 h 00, tiers-temps 11 h 40", "Anglais LV1");
        last = JournalEntryOf(run);
        if (r + 1 < runs || e + 1 < 10) file += last.Line;
      }
    }
    const int rounds = 20;
    size_t appended = 0;
    const auto from = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) appended += JournalAppend(file, {last}).size();
    const double ms = std::chrono::duration<double, std::milli>(
                          std::chrono::steady_clock::now() - from).count() / rounds;
    std::printf("%6d runs, file %8.2f MB: %8.3f ms an event (%zu bytes appended)\n", runs,
                file.size() / 1e6, ms, appended / rounds);
  }
}
