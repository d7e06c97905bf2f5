#include <windows.h>

#include "app/uPapersScreen.h"

#include <algorithm>
#include <vector>

#include "timing/uRunTexts.h"
#include "forms/uApplication.h"
#include "settings/uConfig.h"
#include "timing/uEndTime.h"

namespace {

// The box of that kind on a row, the first row being 0: "EditName1".
std::string Box(const char *kind, size_t row) { return kind + std::to_string(row + 1); }

// A name as typed, without the spaces around it; what the box holds beyond the longest name
// (only code can put it there) is left out.
std::string NameIn(const TWinControl &box) {
  std::string name = box.Text();
  name.erase(0, name.find_first_not_of(' '));
  name.erase(name.find_last_not_of(' ') + 1);
  return name.substr(0, MaxPaperName);
}

// A length in whole minutes, rounded up so that a length given to the second neither shows
// shorter than it is nor as a row not used; 9:59 at most, as the boxes go.
uint32_t ShownMinutes(uint32_t seconds) { return std::min((seconds + 59) / 60, 9u * 60 + 59); }

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
    if (paper.Name.empty())
      return Refuse(FormatMessage1("L'épreuve de la ligne %s n'a pas de nom.", Box("", row)),
                    nameBox);
    if (std::find(names.begin(), names.end(), paper.Name) != names.end())
      return Refuse(FormatMessage1("Deux épreuves s'appellent \"%s\".", paper.Name), nameBox);
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
