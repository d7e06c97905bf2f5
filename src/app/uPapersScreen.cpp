#include <windows.h>

#include "app/uPapersScreen.h"

#include <algorithm>
#include <vector>

#include "forms/uApplication.h"
#include "run/uEndTime.h"
#include "run/uRunTexts.h"
#include "settings/uConfig.h"

namespace {

// The box of that kind on a row, the first row being 0: "EditName1".
std::string Box(const char *kind, size_t row) { return kind + std::to_string(row + 1); }

// A name as typed, without the spaces around it; what the box holds beyond the longest name
// (only code can put it there) is left out. Read wide: a character that Windows-1252 lacks
// becomes SUB, a control character that the name's check refuses, not a "?" that would pass.
std::string NameIn(const TWinControl &box) {
  std::wstring wide(size_t(GetWindowTextLengthW(box.Handle())) + 1, L'\0');
  wide.resize(size_t(GetWindowTextW(box.Handle(), wide.data(), int(wide.size()))));
  std::string name;
  if (!wide.empty()) {
    const int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                                      nullptr, 0, "\x1A", nullptr);
    name.resize(size_t(n > 0 ? n : 0));
    WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), name.data(), n,
                        "\x1A", nullptr);
  }
  name.erase(0, name.find_first_not_of(' '));
  name.erase(name.find_last_not_of(' ') + 1);
  return name.substr(0, MaxPaperName);
}

// A length in whole minutes, rounded up so that a length given to the second neither shows
// shorter than it is nor as a row not used; 9:59 at most, as the boxes go.
uint32_t ShownMinutes(uint32_t seconds) { return std::min((seconds + 59) / 60, 9u * 60 + 59); }

// The refusal of a row's name (the first row being 0), or nothing.
std::string NameRefused(const std::string &name, size_t row,
                        const std::vector<std::string> &taken) {
  switch (PaperNameFault(name, taken)) {
    case TPaperNameFault::None:
      return {};
    case TPaperNameFault::Empty:
      return FormatMessage1("L'épreuve de la ligne %s n'a pas de nom.", std::to_string(row + 1));
    case TPaperNameFault::Taken:
      return FormatMessage1("Deux épreuves s'appellent \"%s\".", name);
    case TPaperNameFault::TooLong:
    case TPaperNameFault::Character:
      break;
  }
  return FormatMessage1("Le nom de l'épreuve de la ligne %s contient un caractère qui n'est pas "
                        "permis (tabulation, retour à la ligne, caractère spécial).",
                        std::to_string(row + 1));
}

}  // namespace

TPapersScreen::TPapersScreen(TForm *owner, int endMinute) : TForm(owner) {
  Bind("ConfirmPapers", &TPapersScreen::ConfirmPapers);
  LoadDesign("PAPERSSCREEN");
  SetCaption((owner ? owner->Caption() : Application.Title()) + " - Épreuves");

  const uint32_t total = AppConfig->TotalTime->GetTotalSeconds();
  Get<TStaticText>("TextLength1")
      .SetText(endMinute >= 0                         ? "Fin à " + MinuteText(endMinute)
               : total == 0 && AppConfig->TypeInc == 0 ? std::string("Sans fin")
                                                       : ShortDuration(total));
  Get<TEdit>("EditName1").SetText(AppConfig->FirstName);
  Get<TCheckBox>("CheckThird1").SetChecked(AppConfig->ExtraThird);
  for (size_t row = 1; row < MaxPapers; ++row) {
    const TExamPaper paper =
        row <= AppConfig->Papers.size() ? AppConfig->Papers[row - 1] : TExamPaper{};
    const uint32_t minutes = ShownMinutes(paper.Seconds);
    Get<TEdit>(Box("EditName", row)).SetText(paper.Name);
    Get<TSpinEdit>(Box("SpinHour", row)).SetValue(int(minutes / 60));
    Get<TSpinEdit>(Box("SpinMin", row)).SetValue(int(minutes % 60));
    Get<TCheckBox>(Box("CheckThird", row)).SetChecked(paper.ExtraThird);
    opened_[row - 1] = {minutes * 60, paper.Seconds};
  }

  // Over the middle of the main window.
  PlaceOverMiddleOf(owner);
}


void TPapersScreen::ConfirmPapers(TControl *) {
  const std::string first = NameIn(Get<TEdit>("EditName1"));
  if (!first.empty())
    if (std::string refused = NameRefused(first, 0, {}); !refused.empty())
      return Refuse(refused, Get<TEdit>("EditName1"));
  std::vector<std::string> names{PaperName(first, 0)};
  std::vector<TExamPaper> papers;
  for (size_t row = 1; row < MaxPapers; ++row) {
    // A value typed out of range counts as the nearest limit, as the box will show it.
    const int hours = std::clamp(Get<TSpinEdit>(Box("SpinHour", row)).Value(), 0, 9);
    const int minutes = std::clamp(Get<TSpinEdit>(Box("SpinMin", row)).Value(), 0, 59);
    TExamPaper paper;
    paper.Seconds = uint32_t(hours * 60 + minutes) * 60;
    if (paper.Seconds == 0) continue;  // not used: its name and tick go with it
    if (paper.Seconds == opened_[row - 1].Shown) paper.Seconds = opened_[row - 1].Seconds;
    TEdit &nameBox = Get<TEdit>(Box("EditName", row));
    paper.Name = NameIn(nameBox);
    paper.ExtraThird = Get<TCheckBox>(Box("CheckThird", row)).Checked();
    if (std::string refused = NameRefused(paper.Name, row, names); !refused.empty())
      return Refuse(refused, nameBox);
    names.push_back(paper.Name);
    papers.push_back(std::move(paper));
  }
  AppConfig->FirstName = first;
  AppConfig->ExtraThird = Get<TCheckBox>("CheckThird1").Checked();
  AppConfig->Papers = std::move(papers);
  AppConfig->Save();
  ModalResult = mrOk;
}

void TPapersScreen::Refuse(const std::string &text, TWinControl &box) {
  ShowMessageBox(text, "Avertissement", MB_OK | MB_ICONWARNING);
  box.SetFocus();
}
