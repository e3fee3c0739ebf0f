// Every file of a fuzz target's corpus (its seeds and every input that once found a fault) goes
// through the target again: a fault found once stays fixed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "FuzzTarget.h"

class Corpus : public ::testing::TestWithParam<std::string> {};

TEST_P(Corpus, EveryFileRunsThroughItsTarget) {
  const Fuzz::Target target = Fuzz::targets().at(GetParam());
  const QDir dir(QStringLiteral(ZEL_FUZZ_CORPUS "/") + QString::fromStdString(GetParam()));
  const QStringList files = dir.entryList(QDir::Files, QDir::Name);
  EXPECT_FALSE(files.isEmpty()) << "no corpus in " << qPrintable(dir.path());
  for (const QString& name : files) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(name);
    const QByteArray bytes = f.readAll();
    try {
      target(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    } catch (const std::exception& e) {
      ADD_FAILURE() << qPrintable(name) << ": " << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Corpus,
                         ::testing::Values("map_reader", "delimited_loader", "archive_restore", "money_date",
                                           "dialect"),
                         [](const auto& info) { return info.param; });
