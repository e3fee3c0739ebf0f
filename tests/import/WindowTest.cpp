#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <map>

#include "DataGen.h"
#include "core/export/ExportWriter.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "gui/controls/GridControl.h"
#include "gui/import/frmImport.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

const QString kNotValid = QStringLiteral(
    "Not a valid import file. Must end in TXT or CSV. If the file is a spreadsheet, open the file in your "
    "spreadsheet program and save the file to either a Tab-Delimited Text File or a Comma-Delimited Text "
    "File.");
const QString kNotLoaded = QStringLiteral("File could not be properly loaded.");
const QString kEmptyFirst = QStringLiteral("Do you want to empty the current database first?");
const QString kSkipRow2 = QStringLiteral(
    "Should ROW 2 be excluded from the import (if ROW 2 is a header row you will want to say 'YES' to this.");
const QString kComplete = QStringLiteral("Import Complete.");
const auto Yes = MessageService::Answer::Yes;
const auto No = MessageService::Answer::No;

class ImportWindowTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    window = std::make_unique<frmImport>();
    window->show();
  }
  void TearDown() override {
    window.reset();
    msgs.verify();
    DataTest::TearDown();
  }
  QString file(const QString& name, const QByteArray& data) {
    writeFile(files.filePath(name), data);
    return files.filePath(name);
  }
  // Chooses the file in the dialog; refusal is the message expected then.
  void load(const QString& path, const QString& refusal = QString()) {
    msgs.expectOpenFile(path);
    if (!refusal.isEmpty()) msgs.expectInfo(refusal);
    window->mnuImportClick();
  }
  // A choice in the mapping row, as the drop-down cell makes it.
  void map(int col, const QString& name) {
    GridModel* m = window->Spread1->grid();
    ASSERT_TRUE(m->setData(m->index(0, col - 1), name));
  }
  bool loaded() const { return window->mnuImport2->isVisible() && !window->mnuImport->isVisible(); }
  int records() { return scalar("select count(*) from zel").toInt(); }
  // The mapped fields and the state of every record, one text per record, in order.
  QStringList snapshot() {
    QStringList cols;
    for (const QString& n : RecordImport::mappingNames())
      cols << "quote(" + RecordImport::fieldFor(n)->column() + ")";
    RecordSet rs(&ZEL1.cnData);
    rs.open("select " + cols.join("||'|'||") + "||'|'||status from zel");
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) rows << rs.field(0).toString();
    rows.sort();
    return rows;
  }

  ScriptedMessages msgs;
  QTemporaryDir files;
  std::unique_ptr<frmImport> window;
};

TEST_F(ImportWindowTest, FileChoiceRefusalsAndTheLoadedGrid) {
  EXPECT_FALSE(window->mnuImport2->isVisible());
  EXPECT_EQ(window->Spread1->maxRows(), 0);
  load(QString());  // cancelled
  for (const char* name : {"people.xls", "people"}) {
    load(file(name, "a,b\n"), kNotValid);
    EXPECT_FALSE(loaded());
  }
  load(file("open.csv", "a\n\"b,c\n"),
       kNotLoaded + "\n\nLine 2: a quoted item is not closed before the end of the file.");
  EXPECT_FALSE(loaded());
  EXPECT_EQ(window->Spread1->maxRows(), 0) << "no part of a refused file is shown";

  load(file("listtxt", "Smith, J\t\"x\"\n"));
  ASSERT_TRUE(loaded()) << "only the last three letters count";
  EXPECT_EQ(window->Spread1->text(2, 1), "Smith, J");
  EXPECT_EQ(window->Spread1->text(2, 2), "\"x\"");

  window = std::make_unique<frmImport>();  // another file needs the window anew
  const QString longText(60, u'W');
  load(file("people.Csv",
            "Last,First,Remarks\r\nSmith,\"Ann, Jr\"," + longText.toLatin1() + "\r\n\r\nJones\r\n"));
  GridControl* g = window->Spread1;
  ASSERT_TRUE(loaded());
  EXPECT_EQ(g->maxRows(), 5) << "the mapping row and the file's four lines";
  EXPECT_EQ(g->maxCols(), 3);
  EXPECT_EQ(g->text(2, 1), "Last");
  EXPECT_EQ(g->text(3, 2), "Ann, Jr");
  EXPECT_EQ(g->text(5, 1), "Jones");
  for (int c = 1; c <= 3; ++c) {
    EXPECT_TRUE(g->grid()->fontBold(1, c));
    EXPECT_EQ(g->grid()->cellType(1, c), GridModel::kComboCell);
    EXPECT_EQ(g->grid()->comboList(1, c), QStringList{""} + RecordImport::mappingNames());
    EXPECT_EQ(g->text(1, c), "") << "nothing is mapped yet";
    EXPECT_GE(g->colWidth(c), 15);
  }
  EXPECT_FALSE(g->grid()->fontBold(2, 1));
  EXPECT_GE(g->colWidth(3), 60) << "as wide as the longest text";
  QFile log(ZEL1.dataFile("import.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("Read 4 lines as 4 rows of up to 3 items."));
}

TEST_F(ImportWindowTest, UnconvertibleValuesAreMarkedAskedAboutAndAllOrNothing) {
  exec("insert into cemetery (name) values ('Oak Hill')");
  exec("insert into lots (lotdesc) values ('Single')");
  exec("insert into zel (cemeteryid, csection, status) values (1, 'OLD', 'S')");
  load(file("people.csv", "Last,First,Born\nSmith,John,02-30-1950\nJones,Ann,01-02-1950\n"));
  map(1, "InterLastName");
  map(2, "InterFirstName");
  map(3, "BirthDate");
  GridModel* m = window->Spread1->grid();
  EXPECT_EQ(m->backColor(2, 3), frmImport::markColor()) << "the title does not convert";
  EXPECT_EQ(m->backColor(3, 3), frmImport::markColor());
  EXPECT_NE(m->backColor(4, 3), frmImport::markColor());
  EXPECT_NE(m->backColor(2, 1), frmImport::markColor());
  EXPECT_EQ(window->lblStatus->text(),
            "2 values in 2 rows will not convert and will keep their defaults (marked).");
  map(3, "");
  EXPECT_NE(m->backColor(3, 3), frmImport::markColor()) << "a mapping taken back takes its marks";
  map(3, "BirthDate");

  msgs.expectQuestion(kEmptyFirst, Yes, true).expectQuestion(kSkipRow2, Yes, true);
  msgs.expectQuestion(
      "1 value in 1 row will not convert and will keep its default.\nDates are read month-first, as "
      "mm-dd-yyyy, from the system's settings.\n\nAll are listed in import.log. Import anyway?",
      No, true);
  window->mnuImport2Click();
  EXPECT_EQ(scalar("select group_concat(csection) from zel"), "OLD") << "No changes nothing";
  EXPECT_TRUE(loaded());
  QFile log(ZEL1.dataFile("import.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("Row 3, column 3 (BirthDate): \"02-30-1950\": no date"));

  msgs.expectQuestion(kEmptyFirst, Yes, true).expectQuestion(kSkipRow2, Yes, true);
  msgs.expectQuestion("*", Yes).expectInfo(kComplete);
  window->mnuImport2Click();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(scalar("select group_concat(interlastname || interfirstname || status || quote(birthdate), ',') "
                   "from zel order by recid"),
            "SmithJohnRNULL,JonesAnnR'1950-01-02'");
}

TEST_F(ImportWindowTest, TitleRowKeptAndNothingMappedStillAddsRecords) {
  exec("insert into cemetery (name) values ('Oak Hill')");
  exec("insert into lots (lotdesc) values ('Single')");
  load(file("two.txt", "Name\tAge\nSmith\t70\n"));
  msgs.expectQuestion(kEmptyFirst, No, true).expectQuestion(kSkipRow2, No, true).expectInfo(kComplete);
  window->mnuImport2Click();
  EXPECT_EQ(records(), 2) << "one record of defaults per row";

  window = std::make_unique<frmImport>();
  load(file("two.txt", "Name\tAge\nSmith\t70\n"));
  map(2, "Age");
  msgs.expectQuestion(kEmptyFirst, Yes, true).expectQuestion(kSkipRow2, No, true);
  msgs.expectQuestion("*", Yes).expectInfo(kComplete);
  window->mnuImport2Click();
  EXPECT_EQ(scalar("select group_concat(age) from zel"), "0.0,70.0") << "the title row is a record too";
}

TEST_F(ImportWindowTest, NoCemeteryIsRefusedAndNothingIsDeleted) {
  exec("insert into lots (lotdesc) values ('Single')");
  exec("insert into zel (csection) values ('OLD')");
  load(file("one.csv", "A\n"));
  msgs.expectQuestion(kEmptyFirst, Yes, true).expectQuestion(kSkipRow2, No, true);
  msgs.expectInfo(
      "There is no cemetery in the database, so the records would belong to none. Add a cemetery first; "
      "nothing "
      "was imported.");
  window->mnuImport2Click();
  EXPECT_EQ(scalar("select group_concat(csection) from zel"), "OLD");
  EXPECT_TRUE(loaded()) << "the window stays loaded";
}

// The program's own export, imported back into an emptied table, gives the same records: every
// field, the cemetery, the lot type and the vault, and texts a spreadsheet would run as formulas.
TEST_F(ImportWindowTest, TheExportImportsBackWithTheSameRecords) {
  DataGen::Options o;
  o.records = 400;
  DataGen::fill(ZEL1.cnData, o);
  // Texts that need quoting in a CSV file, or guarding from a spreadsheet.
  exec("update zel set remarks='Said \"rest well\", then\r\nleft', ownercity='Ann, Arbor' where recid=5");
  exec("update zel set birthplace='Zürich', certnum='#5' where recid=6");
  exec(
      "update zel set interlastname='=HYPERLINK(\"x\")', remarks='-rest', ownerphone='+1 555', vault='@A', "
      "lot='''-5', grave='-5' where recid=7");
  exec("update zel set lotid=0 where recid=8");
  const QStringList before = snapshot();
  ASSERT_TRUE(ExportWriter::write().ok);

  load(ZEL1.dataFile("zel.csv"));
  ASSERT_TRUE(loaded());
  GridControl* g = window->Spread1;
  const std::map<QString, QString> extra{{"Name", "Cemetery"}, {"LotDesc", "LotType"}, {"Vault", "Vault"}};
  int mapped = 0;
  for (int c = 1; c <= g->maxCols(); ++c) {
    QString name = extra.count(g->text(2, c)) ? extra.at(g->text(2, c)) : QString();
    for (const RecordFields::Field& f : RecordFields::all())
      if (f.imported && g->text(2, c) == QLatin1String(f.exportTitle)) name = QString::fromLatin1(f.name);
    if (name.isEmpty()) continue;
    map(c, name);
    ++mapped;
  }
  ASSERT_EQ(mapped, 36);
  msgs.expectQuestion(kEmptyFirst, Yes, true).expectQuestion(kSkipRow2, Yes, true).expectInfo(kComplete);
  window->mnuImport2Click();
  const QStringList after = snapshot();
  ASSERT_EQ(after.size(), before.size());
  for (qsizetype i = 0; i < after.size(); ++i)
    ASSERT_EQ(after[i].toStdString(), before[i].toStdString())
        << "every mapped field, and the state derived from them, as it was";
}

// A clerk's file: nothing is stored that the question did not list, and what it listed is stored
// only on Yes.
TEST_F(ImportWindowTest, AClerksFileIsListedWholeBeforeAnythingIsWritten) {
  exec("insert into cemetery (name) values ('Oak Hill'), ('Zion')");
  exec("insert into lots (lotdesc) values ('Single')");
  ZEL1.DateDisplayFormat = QStringLiteral("dd-mm-yyyy");
  load(file("clerk.csv", kClerkFile));
  ASSERT_TRUE(loaded());
  GridControl* g = window->Spread1;
  EXPECT_EQ(g->maxRows(), 6) << "the empty lines at the end are no rows";
  EXPECT_EQ(g->text(3, 1), QString::fromUtf8("M\xc3\xbcller")) << "UTF-8 stays UTF-8 beside a stray byte";
  EXPECT_EQ(g->text(4, 1), QString::fromUtf8("Caf\xef\xbf\xbd"));
  const QStringList names = QString::fromLatin1(kClerkMapping).split(',');
  for (int c = 1; c <= 5; ++c) map(c, names[c - 1].section('=', 1));
  EXPECT_EQ(g->grid()->backColor(5, 1), frmImport::raggedColor()) << "the row with an item too many";
  EXPECT_EQ(g->grid()->backColor(4, 1), frmImport::markColor());
  EXPECT_EQ(window->lblStatus->text(),
            "10 values in 4 rows will not convert and will keep their defaults (marked); 1 row has more or "
            "fewer items than the first row (5), so some values may stand in the wrong field (marked).")
      << "the title row counts until it is left out";

  const QString question =
      "7 values in 3 rows will not convert and will keep their defaults.\n"
      "1 row has more or fewer items than the first row (5), so some values may stand in the wrong field.\n"
      "1 row has dates that the record form would refuse (such as row 6: \"Invalid Date of Death. This "
      "date can not be greater than today's date.\").\n"
      "Column 3 (DeathDate) is read month-first, as mm-dd-yyyy, since only that order fits all its values "
      "(such as \"03-15-1921\").\n"
      "Dates are read day-first, as dd-mm-yyyy, from the system's settings.\n\n"
      "All are listed in import.log. Import anyway?";
  msgs.expectQuestion(kEmptyFirst, No, true).expectQuestion(kSkipRow2, Yes, true);
  msgs.expectQuestion(question, No, true);
  window->mnuImport2Click();
  EXPECT_EQ(records(), 0);
  QFile log(ZEL1.dataFile("import.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString logged = QString::fromUtf8(log.readAll());
  for (const char* line : {"Row 4, column 4 (PurchPrice): \"1500.555\": more than two decimals",
                           "Row 6, column 5 (Cemetery): \"Nowhere\": no cemetery has this name",
                           "Row 5: 6 items", "Line 3 holds bytes that are not UTF-8."})
    EXPECT_TRUE(logged.contains(line)) << line;

  msgs.expectQuestion(kEmptyFirst, No, true).expectQuestion(kSkipRow2, Yes, true);
  msgs.expectQuestion(question, Yes, true).expectInfo(kComplete);
  window->mnuImport2Click();
  EXPECT_EQ(scalar(kClerkRecordsSql), kClerkRecords.join(';'));
}

TEST_F(ImportWindowTest, MalformedFilesNeverChangeStoredRecords) {
  exec("insert into cemetery (name) values ('Oak Hill')");
  exec("insert into lots (lotdesc) values ('Single')");
  exec("insert into zel (cemeteryid, lotid, csection) values (1, 1, 'OLD')");
  QByteArray binary(4096, '\0');
  for (char& b : binary) b = char(QRandomGenerator::global()->bounded(256));
  binary[0] = '\0';
  load(file("binary.csv", binary),
       kNotLoaded + "\n\nLine 1 holds a zero character: this is not a text file.");
  EXPECT_FALSE(loaded());
  load(file("open.csv", "a,b\n\"c"), "*");
  EXPECT_FALSE(loaded());
  QByteArray wide;
  for (int c = 0; c < 2000000; ++c) wide += "x,";
  load(file("wide.csv", wide + "\n"));
  EXPECT_TRUE(loaded());
  EXPECT_EQ(window->Spread1->maxCols(), 2000000);
  EXPECT_EQ(scalar("select group_concat(csection) from zel"), "OLD");
}

}  // namespace
