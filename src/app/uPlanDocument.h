#pragma once
#include <windows.h>

#include <string>

#include "settings/uExamPlanFile.h"

// A plan's file on disk: read with sharing (a file another program holds open for writing, a
// read-only file, a network path), written whole or not at all. Paths are the program's
// Windows-1252; the file system is spoken to in UTF-16.

// Throws ETavelinError with the box's text: the file missing or unreadable, or its wrong line.
TExamPlanFile ReadPlanDocument(const std::string &path);
void WritePlanDocument(const std::string &path, const TExamPlanFile &plan);

// The system's open or save dialog for a plan, starting in the last folder used; `suggested` is
// the file name a save offers. True with the chosen path when the user confirms.
bool ChoosePlanFile(HWND owner, bool save, const std::string &suggested, std::string &chosen);
