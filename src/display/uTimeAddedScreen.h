// uTimeAddedScreen - time given back to a run after an incident (a fire alarm, subjects handed out
// late), or taken back, with its reason; a line says what it would change as it is typed.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/uForms.h"

class TTimeAddedScreen : public TForm {
public:
  // owner: the control bar; `changes` says in words what adding that many minutes would change.
  TTimeAddedScreen(TForm *owner, std::function<std::vector<std::string>(int minutes)> changes);

  void MinutesChanged(TControl *Sender);
  // The minutes are typed over the 0 the box opens with.
  void SelectMinutes(TControl *Sender);
  void ConfirmTimeAdded(TControl *Sender);

  // As the box shows it once corrected: -60 to 120.
  int Minutes() const;
  std::string Reason() const;

private:
  std::function<std::vector<std::string>(int minutes)> changes_;
};
