// The paper the file host reports: the built-in grain, and a paper file read again at each call.

#include "file/file_host.h"
#include "file/paper_grain.h"
#include "host/picture_fixture.h"

namespace brisel::testing {
namespace {

using PaperTest = PictureFolderTest;

// The program's "Get paper": width, height, then the texture; the three must agree.
BytePlane GetPaper(platform::HostObject& host) {
  std::vector<platform::Variant> none;
  const int32_t w = platform::ToLong(host.Invoke("Tarn_GetPaperWidth", none));
  const int32_t h = platform::ToLong(host.Invoke("tarn_GetPaperHeight", none));
  BytePlane paper = platform::ToByteArray(host.Invoke("Tarn_GetPaper", none));
  EXPECT_EQ(paper.width(), w);
  EXPECT_EQ(paper.height(), h);
  return paper;
}

// Mean absolute difference between line a and line b of a plane: columns, or rows when across.
double LineDistance(const BytePlane& p, int a, int b, bool across) {
  double sum = 0;
  for (int i = 0; i < 256; ++i) sum += across ? std::abs(p(i, a) - p(i, b)) : std::abs(p(a, i) - p(b, i));
  return sum / 256;
}

TEST_F(PaperTest, BuiltInGrainIsFixedFullRangeAndSeamless) {
  const BytePlane paper = GetPaper(*filehost::MakeFileHost({}));
  ASSERT_EQ(paper.width(), 256);
  ASSERT_EQ(paper.height(), 256);
  EXPECT_EQ(paper, filehost::MakePaperGrain());  // the same on every run
  const auto [lo, hi] = std::minmax_element(paper.data(), paper.data() + paper.size());
  EXPECT_EQ(int(*lo), 0);
  EXPECT_EQ(int(*hi), 255);
  // Across the tile's seams the grain changes no more than between neighbours inside it, and far
  // apart it differs more: tiled, no seam shows, and the grain is not flat.
  for (bool across : {false, true}) {
    double worstInside = 0;
    for (int i = 0; i + 1 < 256; ++i) worstInside = std::max(worstInside, LineDistance(paper, i, i + 1, across));
    EXPECT_LE(LineDistance(paper, 255, 0, across), worstInside);
    EXPECT_GT(LineDistance(paper, 0, 128, across), LineDistance(paper, 255, 0, across));
  }
}

TEST_F(PaperTest, PaperFileIsReadAsGreyAtEachCallAndABadOneGivesNoPaper) {
  QImage grey(10, 6, QImage::Format_Grayscale8);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) grey.setPixel(x, y, qRgb(x * 20 + y, x * 20 + y, x * 20 + y));
  const std::string path = Save("paper.png", grey);
  auto host = filehost::MakeFileHost({"", path, "", "."});
  BytePlane paper = GetPaper(*host);
  EXPECT_EQ(paper.width(), 10);
  EXPECT_EQ(paper(9, 5), 185);

  Save("paper.png", Pattern(20, 4));
  EXPECT_EQ(GetPaper(*host).width(), 20);

  // Gone bad: no paper, and one warning for this version of the file, not one a call.
  WriteBytes("paper.png", "not a picture");
  ::testing::internal::CaptureStderr();
  paper = GetPaper(*host);
  GetPaper(*host);
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(paper.empty());
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
  EXPECT_NE(warnings.find(path), std::string::npos) << warnings;
}

}  // namespace
}  // namespace brisel::testing
