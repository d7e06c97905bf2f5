// Every GDI object the program makes must pass through the counted owners of src/forms/uGdi, or
// the count that shows a leak (Wine answers 0 to GetGuiResources) would miss it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

TEST(GdiOwnership, EveryCreatedHandleGoesThroughACountedOwner) {
  namespace fs = std::filesystem;
  const std::regex creates(
      R"(\b(CreatePen|CreatePenIndirect|CreateSolidBrush|CreateBrushIndirect|CreateHatchBrush|)"
      R"(CreatePatternBrush|CreateFontA?|CreateFontIndirectA?|CreateCompatibleBitmap|CreateBitmap|)"
      R"(CreateDIBSection|CreateDIBitmap|CreateCompatibleDC|CreateDCA?|CreateRectRgn|)"
      R"(CreateEllipticRgn|CreatePolygonRgn|LoadImageA?|LoadBitmapA?|CopyImage)\s*\()");
  const std::regex frees(R"(\b(DeleteObject|DeleteDC)\s*\()");
  std::vector<std::string> strays;
  int scanned = 0;
  for (const auto &entry : fs::recursive_directory_iterator(fs::path(TAVELIN_SOURCE_DIR) / "src")) {
    std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::string file = entry.path().filename().string();
    if (file == "uGdi.cpp" || file == "uGdi.h") continue;
    ++scanned;
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      bool wrapped = line.find("gdi::") != std::string::npos;  // handed at once to an owner
      if ((std::regex_search(line, creates) && !wrapped) || std::regex_search(line, frees))
        strays.push_back(file + ":" + std::to_string(n) + ": " + line);
    }
  }
  EXPECT_GT(scanned, 20);
  EXPECT_TRUE(strays.empty()) << "GDI handles made or freed outside the counted owners:\n"
                              << [&] {
                                   std::string all;
                                   for (const auto &s : strays) all += "  " + s + "\n";
                                   return all;
                                 }();
}

}  // namespace
