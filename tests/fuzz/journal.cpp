// The journal's writers with texts from outside (épreuves' names, reasons typed for time added):
// the CSV lines and the procès-verbal page of a run of fuzzed events.
// A spreadsheet's reading of the file (a small reader here) gets back each field as written, a
// formula's mark aside; the page holds no tag and no entity that came from a text, and each text
// reads back from it as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/uText.h"
#include "fuzz_check.h"
#include "run/uJournal.h"

namespace {

// UTF-8 back to Windows-1252 through the program's own table, read the other way: any character
// that it cannot have written breaks the oracle.
std::string Back1252(const std::string &utf8) {
  static const std::vector<int> byteOf = [] {
    std::vector<int> t(0x10000, -1);
    for (int b = 0; b < 256; ++b) {
      const std::string u = Cp1252ToUtf8(std::string(1, char(b)));
      Check(!u.empty() && u.size() <= 3, "a byte as no character or four bytes");
      uint32_t cp = u.size() == 1   ? uint8_t(u[0])
                    : u.size() == 2 ? (uint8_t(u[0]) & 0x1F) << 6 | (uint8_t(u[1]) & 0x3F)
                                    : (uint8_t(u[0]) & 0x0F) << 12 | (uint8_t(u[1]) & 0x3F) << 6 |
                                          (uint8_t(u[2]) & 0x3F);
      Check(t[cp] == -1, "two bytes as one character");
      t[cp] = b;
    }
    return t;
  }();
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = uint8_t(utf8[i]);
    const size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
    Check(len > 0 && i + len <= utf8.size(), "a UTF-8 sequence cut or unknown");
    uint32_t cp = len == 1 ? c : c & (len == 2 ? 0x1F : 0x0F);
    for (size_t k = 1; k < len; ++k) {
      Check((uint8_t(utf8[i + k]) & 0xC0) == 0x80, "a UTF-8 sequence broken");
      cp = cp << 6 | (uint8_t(utf8[i + k]) & 0x3F);
    }
    Check(byteOf[cp] >= 0 && len == (cp < 0x80 ? 1u : cp < 0x800 ? 2u : 3u),
          "the file holds UTF-8 the program cannot have written");
    out += char(byteOf[cp]);
    i += len;
  }
  return out;
}

// A spreadsheet's reading of a CSV file: fields apart at ";", a quoted field with its quotes
// doubled, records ended by CR LF outside quotes.
std::vector<std::vector<std::string>> ReadCsv(const std::string &text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        Check(i < text.size(), "a quote not closed");
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
          else break;
        } else {
          field += text[i];
        }
      }
      ++i;
      Check(i < text.size() && (text[i] == ';' || text[i] == '\r'), "text after a closing quote");
      continue;
    }
    if (text[i] == ';') {
      fields.push_back(field), field.clear(), ++i;
    } else if (text[i] == '\r') {
      Check(i + 1 < text.size() && text[i + 1] == '\n', "a record not ended by CR LF");
      fields.push_back(field), field.clear(), i += 2;
      records.push_back(fields), fields.clear();
    } else {
      Check(text[i] != '\n' && text[i] != '"', "a line break or a quote outside quotes");
      field += text[i++];
    }
  }
  Check(fields.empty() && field.empty(), "a last record not ended");
  return records;
}

// The field as written, or with the mark that keeps a spreadsheet from taking it for a formula:
// that mark only before a character that starts one, and always before "=", "+", "-" or "@".
bool ReadBack(const std::string &got, const std::string &text) {
  // The guard looks behind the text's own apostrophes.
  const size_t first = text.find_first_not_of('\'');
  auto startsWith = [&](std::string_view any) {
    return first != std::string::npos && any.find(text[first]) != std::string_view::npos;
  };
  const bool formula = startsWith("=+-@");
  const bool marked = got == "'" + text && startsWith("=+-@\t\r");
  return marked || (got == text && !formula);
}

// A page as tags and texts, its entities read.
struct TPage {
  std::vector<std::string> Tags, Texts;
  std::vector<size_t> Quotes;  // the raw '"' of each text
};
TPage ReadPage(const std::string &html) {
  TPage page;
  std::string text;
  size_t quotes = 0;
  auto endText = [&] {
    page.Texts.push_back(text), page.Quotes.push_back(quotes);
    text.clear(), quotes = 0;
  };
  for (size_t i = 0; i < html.size();) {
    if (html[i] == '<') {
      const size_t close = html.find('>', i);
      Check(close != std::string::npos, "a tag not closed");
      endText();
      page.Tags.push_back(html.substr(i, close + 1 - i));
      i = close + 1;
    } else if (html[i] == '&') {
      static const char *const entities[][2] = {
          {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}};
      bool known = false;
      for (const auto &e : entities)
        if (html.compare(i, std::strlen(e[0]), e[0]) == 0) {
          text += e[1], i += std::strlen(e[0]), known = true;
          break;
        }
      Check(known, "an entity the page does not write");
    } else {
      Check(html[i] != '>', "a '>' outside a tag");
      quotes += html[i] == '"';
      text += html[i++];
    }
  }
  endText();
  return page;
}

// A page's text of marks with the texts they stand for, in one pass: a text put back is not read
// again for marks.
std::string Replaced(const std::string &text, const std::map<std::string, std::string> &marks) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const size_t end = text[i] == '\x01' ? text.find('\x02', i) : std::string::npos;
    const auto mark = end == std::string::npos ? marks.end() : marks.find(text.substr(i, end + 1 - i));
    if (mark != marks.end())
      out += mark->second, i = end + 1;
    else
      out += text[i++];
  }
  return out;
}

const char *const Events[] = {journal::Start,    journal::Pause,   journal::Resume,
                              journal::TimeAdded, journal::Warning, journal::NormalEnd,
                              journal::End,      journal::Overtime, journal::Stopped,
                              journal::ClockChanged, journal::Woke, journal::TakenUp};

TJournalTime Time(FuzzedDataProvider &in) {  // as the wall clock gives it
  TJournalTime t;
  t.Year = in.ConsumeIntegralInRange(1601, 30827);
  t.Month = in.ConsumeIntegralInRange(1, 12);
  t.Day = in.ConsumeIntegralInRange(1, 31);
  t.Hour = in.ConsumeIntegralInRange(0, 23);
  t.Minute = in.ConsumeIntegralInRange(0, 59);
  t.Second = in.ConsumeIntegralInRange(0, 59);
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  const TJournalTime start = Time(in);
  // The texts, and the same run with each text a mark of its own that no escaping touches.
  std::vector<TJournalEvent> events, marked;
  std::map<std::string, std::string> marks, markOf;
  auto mark = [&](const std::string &text) {
    if (text.empty()) return text;
    auto &m = markOf[text];
    if (m.empty()) m = "\x01" + std::to_string(markOf.size()) + "\x02", marks[m] = text;
    return m;
  };
  TJournal journal;
  journal.StartRun(start);
  std::string file = JournalFileHeader();
  while (in.remaining_bytes() > 0 && events.size() < 24) {
    TJournalEvent e;
    e.At = Time(in);
    e.Event = in.PickValueInArray(Events);
    e.Paper = in.ConsumeBool() ? in.ConsumeRandomLengthString(48) : std::string();
    e.Detail = in.ConsumeRandomLengthString(96);
    e.Index = uint32_t(events.size());
    file += journal.Add(e.At, e.Event, e.Detail, e.Paper);
    events.push_back(e);
    marked.push_back({e.At, e.Event, mark(e.Detail), mark(e.Paper)});
  }
  Check(journal.Events() == events, "the run's events kept otherwise");

  Check(file.rfind("\xEF\xBB\xBF", 0) == 0, "the file without its byte-order mark");
  const auto records = ReadCsv(file.substr(3));
  Check(records.size() == events.size() + 1, "a line lost or split");
  for (const auto &record : records) Check(record.size() == 6, "a line of other than six fields");
  for (size_t i = 0; i < events.size(); ++i) {
    const TJournalEvent &e = events[i];
    const std::string written[] = {JournalDate(e.At), JournalClock(e.At), JournalStamp(start),
                                   e.Paper,         e.Event,            e.Detail};
    for (size_t f = 0; f < 6; ++f) {
      const std::string got = Back1252(records[i + 1][f]);
      if (ReadBack(got, written[f])) continue;
      std::fprintf(stderr, "line %zu, field %zu:", i + 1, f);
      for (const std::string *t : {&got, &written[f]}) {
        std::fprintf(stderr, " [");
        for (unsigned char c : *t) std::fprintf(stderr, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
        std::fprintf(stderr, "]");
      }
      std::fprintf(stderr, "\n");
      Check(false, "a field read back otherwise");
    }
  }

  const TPage page = ReadPage(Back1252(ProcesVerbalHtml(start, events)));
  const TPage plain = ReadPage(Back1252(ProcesVerbalHtml(start, marked)));
  Check(page.Tags == plain.Tags, "a tag that came from a text");
  Check(page.Texts.size() == plain.Texts.size(), "texts split otherwise");
  for (size_t i = 0; i < page.Texts.size(); ++i) {
    Check(page.Texts[i] == Replaced(plain.Texts[i], marks), "a text read back otherwise");
    Check(page.Quotes[i] == plain.Quotes[i], "a text's quote not escaped");
  }
  return 0;
}
