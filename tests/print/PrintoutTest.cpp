#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "core/program/Zel2.h"
#include "gui/controls/PrintSurface.h"
#include "gui/records/RecordPrintout.h"
#include "support/PdfPages.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"

namespace {

const double kLabelEnd = 50 * 56.63;
const double kValueStart = 55 * 56.63;
const double kRight = 200 * 56.63;

PrintedRecord sampleRecord() {
  PrintedRecord r;
  r.cemetery = "Oak Hill";
  r.values = {
      {"csection", "A"},
      {"lot", "12"},
      {"grave", "3"},
      {"status", "BURIED"},
      {"internum", "117"},
      {"interdate", "03-04-2020"},
      {"interfirstname", "Jane"},
      {"interlastname", "Doe"},
      {"birthdate", "01-02-1935"},
      {"deathdate", "03-01-2020"},
      {"age", "85"},
      {"sex", "Female"},
      {"ownerfirstname", "John"},
      {"ownerlastname", "Doe"},
      {"deedbook", "B-7"},
      {"deedpage", "33"},
      {"certnum", "C-1001"},
      {"purchdate", "06-15-1990"},
      {"purchprice", "250.75"},
      {"burialfee", "300.00"},
      {"vault", "Concrete"},
      {"birthplace", "Springfield"},
      {"latereside", "Shelbyville"},
      {"socialstate", "Widow"},
      {"nearestrelative", "John Doe"},
      {"undertaker", "Miller & Sons"},
      {"deathcause", "Old age"},
      {"remarks", "Known as \"Babe\"; a very long remark that is not wrapped onto a second line at all"}};
  return r;
}

// clang-format off
const char* const kLabels[] = {
    "Section:", "Lot:", "Grave:",
    "Status:",
    "Interment #:", "Interment Date:", "First Name:", "Last Name:", "DOB:", "DOD:", "Age:", "Sex:",
    "Purchaser First Name:", "Purchaser Last Name:", "Deed Book:",
    "Deed Page:", "Certificate Number:", "Purchase Date:", "Purchase price:", "Burial Fee:",
    "Vault:", "Place of Birth:", "Late Residence:", "Social State:",
    "Nearest Relative:", "Undertaker:", "Cause of Death:", "Remarks:"};
// clang-format on

// The text printed on the same line as a label, starting at the value column; nullptr if none.
const RecordingSurface::Text* valueOf(const RecordingSurface& s, const RecordingSurface::Text& label) {
  for (const auto& t : s.texts())
    if (t.y == label.y && &t != &label && std::abs(t.x - kValueStart) < 0.01) return &t;
  return nullptr;
}

}  // namespace

TEST(RecordPrintout, LabelsEndAt50mmValuesStartAt55mmUnderTheHeadingAndRule) {
  const double line = 10 * 23.0;  // one line of the 10 point font on the recording surface
  for (const auto& page : {std::pair{11906.0, 16838.0}, std::pair{8000.0, 9000.0}}) {
    SCOPED_TRACE(page.second);
    RecordingSurface s(page.first, page.second);
    composeRecordPrintout(s, sampleRecord(), QDate(2026, 12, 4));
    EXPECT_EQ(s.documentsEnded(), 1);
    double previousY = -1;
    for (const char* label : kLabels) {
      const auto* t = s.find(QString::fromLatin1(label));
      ASSERT_NE(t, nullptr) << label;
      EXPECT_NEAR(t->right(), kLabelEnd, 0.01) << label;
      EXPECT_GT(t->y, previousY) << label;
      previousY = t->y;
    }

    // Values as shown on the form, at 55 mm on their label's line.
    const auto value = [&](const char* label) {
      const auto* t = valueOf(s, *s.find(QString::fromLatin1(label)));
      return t ? t->text : QStringLiteral("<none>");
    };
    EXPECT_EQ(value("Section:"), "A");
    EXPECT_EQ(value("DOB:"), "01-02-1935");
    EXPECT_EQ(value("Purchase price:"), "250.75");
    EXPECT_EQ(value("Remarks:"), sampleRecord().value("remarks"));  // one line, unwrapped

    // Empty lines between the groups, none within them.
    const auto y = [&](const char* label) { return s.find(QString::fromLatin1(label))->y; };
    EXPECT_NEAR(y("Lot:") - y("Section:"), line, 0.01);
    EXPECT_NEAR(y("Status:") - y("Grave:"), 2 * line, 0.01);
    EXPECT_NEAR(y("Interment #:") - y("Status:"), 2 * line, 0.01);
    EXPECT_NEAR(y("Purchaser First Name:") - y("Sex:"), 2 * line, 0.01);
    EXPECT_NEAR(y("Vault:") - y("Burial Fee:"), 2 * line, 0.01);
    for (const auto& t : s.texts()) {  // nothing that the sheet leaves out
      EXPECT_FALSE(t.text.contains("Paid") || t.text.contains("Address")) << t.text.toStdString();
    }

    // Cemetery at the corner, the date ending at 200 mm below it, one empty line, then the rule
    // from 0 to 200 mm above the first field.
    EXPECT_EQ(s.find("Oak Hill")->y, 0);
    const auto* date = s.find("12-04-2026");
    ASSERT_NE(date, nullptr);
    EXPECT_NEAR(date->right(), kRight, 0.01);
    EXPECT_NEAR(date->y, 18 * 23.0, 0.01);
    ASSERT_EQ(s.lines().size(), 1u);
    const auto& rule = s.lines()[0];
    EXPECT_NEAR(rule.x2 - rule.x1, kRight, 0.01);
    EXPECT_NEAR(rule.y1, date->y + 2 * 230.0, 0.01);
    EXPECT_NEAR(y("Section:"), rule.y1 + 230.0, 0.01);

    // Footer: program name and version, ending at 200 mm, 5 mm above the bottom.
    const auto& footer = s.texts().back();
    EXPECT_EQ(footer.text, QStringLiteral("Zelmora ") + ZEL2::versionText());
    EXPECT_NEAR(footer.y, page.second - 283.15, 0.01);
    EXPECT_NEAR(footer.right(), kRight, 0.01);
  }

  // A fresh new record: only the state word is set, no empty texts, no sex chosen.
  PrintedRecord r;
  r.values.insert("status", "OPEN");
  RecordingSurface s;
  composeRecordPrintout(s, r, QDate(2026, 1, 2));
  EXPECT_EQ(valueOf(s, *s.find("Sex:")), nullptr);
  EXPECT_EQ(valueOf(s, *s.find("Status:"))->text, "OPEN");
  EXPECT_EQ(s.texts().size(), std::size(kLabels) + 3);  // labels, date, state word and footer
}

TEST(PrintSurface, RightAlignedTextsEndAtTheirMarkAndRulesKeepThePosition) {
  RecordingSurface s;
  s.setCurrentY(1000);
  PrintRightAligned(s, 50, "Purchaser First Name:");
  EXPECT_NEAR(s.currentX(), kLabelEnd, 0.01);  // behind the text
  EXPECT_EQ(s.currentY(), 1000);

  // A text wider than the mark starts left of the page's edge.
  PrintRightAligned(s, 1, "Much too wide for one millimetre");
  EXPECT_LT(s.texts().back().x, 0);

  s.setCurrentX(777);
  DrawRule(s, 1, 10, 20);
  EXPECT_EQ(s.currentX(), 777);
  EXPECT_EQ(s.currentY(), 1000);
  EXPECT_NEAR(s.lines().back().x1, 10 * 56.63, 0.01);
  EXPECT_EQ(s.lines().back().y1, 1000);

  s.print("x", true);
  EXPECT_EQ(s.currentX(), 0);
  EXPECT_EQ(s.currentY(), 1000 + s.textHeight());
}

TEST(PrintSurface, PrinterSurfaceWithNothingComposedWritesNothing) {
  QTemporaryDir dir;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("empty.pdf"));
  PrinterSurface surface(printer);
  surface.endDoc();
  EXPECT_FALSE(QFile::exists(dir.filePath("empty.pdf")));
  EXPECT_TRUE(surface.ok());
}

TEST(PrintSurface, PrinterSurfaceMeasuresInTwips) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
  PrinterSurface surface(printer);
  // A4 is 297 mm high; 277 mm printable (within a millimetre of rounding), 1440 twips to the inch.
  EXPECT_NEAR(surface.pageHeight(), 277 / 25.4 * 1440, 57);
  surface.setFontSize(10);
  const double w10 = surface.textWidth("Purchaser First Name:");
  surface.setFontSize(20);
  EXPECT_NEAR(surface.textWidth("Purchaser First Name:"), 2 * w10, w10 * 0.05);
  // 10 point text: a line is somewhat more than 200 twips, the width a few inches at most.
  surface.setFontSize(10);
  EXPECT_GT(surface.textHeight(), 200);
  EXPECT_LT(surface.textHeight(), 300);
  EXPECT_GT(w10, 1000);
  EXPECT_LT(w10, 3000);
}

TEST(PrintRecord, PrintsOnePdfPageAndCancelPrintsNothing) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath("record.pdf");
  {
    ScriptedMessages m;
    m.expectPrinter(pdf);
    printRecord(sampleRecord());
  }
  const QByteArray bytes = fileBytes(pdf);
  EXPECT_TRUE(bytes.startsWith("%PDF-"));
  EXPECT_EQ(pdfPageCount(bytes), 1) << "page objects";

  const QString cancelled = dir.filePath("none.pdf");
  {
    ScriptedMessages m;
    m.expectPrinter(QString());  // cancel
    printRecord(sampleRecord());
  }
  EXPECT_FALSE(QFile::exists(cancelled));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}
