#include "model/read_block.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tavimo {
namespace {

FieldTexts With(std::initializer_list<std::pair<Field, const char*>> texts) {
  FieldTexts fields = FieldTexts::Initial();
  for (const auto& [field, text] : texts) fields[field] = text;
  return fields;
}

std::vector<NoticeId> IdsOf(const BlockReading& reading) {
  std::vector<NoticeId> ids;
  for (const Notice& notice : reading.notices) ids.push_back(notice.id);
  return ids;
}

TEST(ReadBlock, DefaultBlockPassesQuietly) {
  const BlockReading r = ReadBlock(FieldTexts::Initial());
  ASSERT_TRUE(r.spec);
  EXPECT_TRUE(r.notices.empty());
  EXPECT_TRUE(r.corrections.empty());
  EXPECT_EQ(r.spec->startX, 10);
  EXPECT_EQ(r.spec->widthTotal, 50);
  EXPECT_EQ(r.spec->heightCell, 5);
  EXPECT_EQ(r.spec->angle, 0);
}

TEST(ReadBlock, TotalsAreRaisedToWholeCells) {
  const BlockReading r = ReadBlock(With({{Field::kWidthTotal, "52"}, {Field::kHeightTotal, "-7"}}));
  ASSERT_TRUE(r.spec);
  EXPECT_EQ(r.corrections, (std::vector<Correction>{{Field::kWidthTotal, " 55"},
                                                    {Field::kHeightTotal, "-5"}}));  // ceil(-1.4) = -1
  ASSERT_EQ(r.notices.size(), 2u);
  EXPECT_EQ(r.notices[0], (Notice{NoticeId::kWidthChanged, NoticeIcon::kInformation, "Size changed...",
                                  "The total width of the cell block has been increased to match the cell width"}));
  EXPECT_EQ(r.notices[1].text, "The total height of the cell block has been increased to match the cell height");
  EXPECT_EQ(r.spec->widthTotal, 55);
  EXPECT_EQ(r.spec->heightTotal, -5);

  // Rounded first: 50.4 fits; a zero or empty cell size counts as whole.
  EXPECT_TRUE(ReadBlock(With({{Field::kWidthTotal, "50.4"}})).notices.empty());
  for (const char* cell : {"0", ""}) {
    const BlockReading zero = ReadBlock(With({{Field::kWidthTotal, "52"}, {Field::kWidthCell, cell}}));
    EXPECT_TRUE(zero.notices.empty());
    EXPECT_EQ(zero.spec->widthTotal, 52);
  }
}

TEST(ReadBlock, AngleIsRoundedCheckedAndFolded) {
  struct Case {
    const char* text;
    bool counterClockwise;
    int angle;  // -1: refused
  } cases[] = {{"90.5", false, 90}, {"-0.4", false, 0}, {"90.6", false, -1}, {"-1", false, -1},
               {"30", true, 330},   {"0", true, 360},   {"90", true, 270}};
  for (const Case& c : cases) {
    FieldTexts fields = With({{Field::kAngle, c.text}});
    fields.clockwise = !c.counterClockwise;
    fields.counterClockwise = c.counterClockwise;
    const BlockReading r = ReadBlock(fields);
    if (c.angle < 0) {
      EXPECT_FALSE(r.spec) << c.text;
      EXPECT_EQ(r.refusal, (Refusal{RefusalKind::kWrongAngle, Field::kAngle}));
      EXPECT_EQ(r.notices.back(), (Notice{NoticeId::kWrongAngle, NoticeIcon::kNone, "Wrong angle",
                                          "Please enter a value between 0 and 90 degrees"}));
    } else {
      ASSERT_TRUE(r.spec) << c.text;
      EXPECT_EQ(r.spec->angle, c.angle) << c.text;
    }
  }
  // Neither button: the angle stays as typed.
  FieldTexts neither = With({{Field::kAngle, "30"}});
  neither.clockwise = neither.counterClockwise = false;
  EXPECT_EQ(ReadBlock(neither).spec->angle, 30);
}

TEST(ReadBlock, CorrectionsComeBeforeTheAngleRefusal) {
  const BlockReading r = ReadBlock(With({{Field::kWidthTotal, "52"}, {Field::kAngle, "100"}}));
  EXPECT_FALSE(r.spec);
  EXPECT_EQ(IdsOf(r), (std::vector<NoticeId>{NoticeId::kWidthChanged, NoticeId::kWrongAngle}));
  EXPECT_EQ(r.corrections.size(), 1u);
}

TEST(ReadBlock, ValuesNoFileCanHoldAreRefused) {
  // Each refused in the order the fields are converted; the first is named.
  const BlockReading angle = ReadBlock(With({{Field::kAngle, "3e9"}, {Field::kWidthTotal, "3e9"}}));
  EXPECT_EQ(angle.refusal, (Refusal{RefusalKind::kValueOutOfRange, Field::kAngle}));
  EXPECT_EQ(angle.notices.back().text, "Angle must be between -2147483648 and 2147483647");
  EXPECT_EQ(angle.notices.back().icon, NoticeIcon::kWarning);

  // A corrected total beyond the range: the correction is not made.
  const BlockReading total = ReadBlock(With({{Field::kWidthTotal, "2147483647"}, {Field::kWidthCell, "2"}}));
  EXPECT_EQ(IdsOf(total), (std::vector<NoticeId>{NoticeId::kWidthChanged, NoticeId::kValueOutOfRange}));
  EXPECT_TRUE(total.corrections.empty());

  struct Case {
    Field field;
    const char* text;
    RefusalKind kind;
    const char* message;
  } cases[] = {{Field::kStartX, "1E9999", RefusalKind::kStartNotFinite, "X must be a finite number"},
               {Field::kStartY, "-1E9999", RefusalKind::kStartNotFinite, "Y must be a finite number"},
               {Field::kStartX, "1D400", RefusalKind::kStartOutOfRange, "X must be between -1E+308 and 1E+308"},
               {Field::kStartY, "-1.0000000000000001E308", RefusalKind::kStartOutOfRange,
                "Y must be between -1E+308 and 1E+308"}};
  for (const Case& c : cases) {
    const BlockReading r = ReadBlock(With({{c.field, c.text}}));
    EXPECT_FALSE(r.spec) << c.text;
    EXPECT_EQ(r.refusal, (Refusal{c.kind, c.field})) << c.text;
    EXPECT_EQ(r.notices.back(), (Notice{c.kind == RefusalKind::kStartNotFinite ? NoticeId::kStartNotFinite
                                                                                 : NoticeId::kStartOutOfRange,
                                        NoticeIcon::kWarning, "Wrong value", c.message}));
  }
  // The edge itself is written; the starting point is never rounded.
  const BlockReading edge = ReadBlock(With({{Field::kStartX, "-1E308"}, {Field::kStartY, "10.25"}}));
  ASSERT_TRUE(edge.spec);
  EXPECT_EQ(edge.spec->startX, -kLargestStart);
  EXPECT_EQ(edge.spec->startY, Extended(10.25));
}

TEST(ReadBlock, IgnoresTheLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  const BlockReading r = ReadBlock(With({{Field::kWidthTotal, "52"}, {Field::kStartX, "10.5"}}));
  std::setlocale(LC_ALL, old.c_str());
  EXPECT_EQ(r.corrections.at(0).text, " 55");
  EXPECT_EQ(r.spec->startX, 10.5L);
}

}  // namespace
}  // namespace tavimo
