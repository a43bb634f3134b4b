// Saving the observer's grid to CSV, with the file dialog answered by the
// tests, and the message log's save to text.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

#include "uPortObserver.h"
#include "uSaveFile.h"
#include "uTempLog.h"

namespace {

TzPortObsRec Rec(int32_t aUID, int32_t aReg, std::vector<uint8_t> aCmd, const QString& aName = QString(),
                 const QString& aValue = QString()) {
  TzPortObsRec rec;
  rec.Index = aUID;
  rec.Func = 3;
  rec.Reg = aReg;
  rec.Cmd = std::move(aCmd);
  rec.Name = aName;
  rec.Value = aValue;
  return rec;
}

const std::vector<uint8_t> kRead{0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A};
const std::vector<uint8_t> kAnswer{0x10, 0x03, 0x02, 0x00, 0x0C, 0x45, 0x81};

QByteArray ReadFile(const QString& aPath) {
  QFile file(aPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& aPath, const QByteArray& aData) {
  QFile file(aPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(aData);
}

// The records of a saved CSV without its byte-order mark.
QStringList Records(const QByteArray& aFile) {
  EXPECT_TRUE(aFile.startsWith("\xEF\xBB\xBF"));
  QStringList records = QString::fromUtf8(aFile.mid(3)).split(QStringLiteral("\r\n"));
  EXPECT_EQ(records.takeLast(), QString());  // every record ends with CR LF
  return records;
}

const QString kHeader = QStringLiteral("##;Время;Регистр;Ф-ция;Таймаут;Значение;Название;Запрос;Ответ");

class ObserverSave : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fDir.isValid());
    fLog = std::make_unique<TfrmTempLog>();
    fObs = std::make_unique<TfrmPortObserver>();
    fObs->AutoClearTimer.stop();
    fObs->InterfaceTimer.stop();
    fObs->TickSource = [] { return 1000u; };
    fObs->SetComPort(7);
  }
  void TearDown() override {
    SetSaveFileChooser({});
    fObs.reset();
  }

  QString Path(const QString& aName) const { return fDir.filePath(aName); }
  QString TopLogLine() const { return TempLogLines().front().Text; }

  QTemporaryDir fDir;
  std::unique_ptr<TfrmTempLog> fLog;
  std::unique_ptr<TfrmPortObserver> fObs;
};

}  // namespace

// Mode, filter and notation are those of the grid: the file holds its rows
// exactly as they are shown.
TEST_F(ObserverSave, SavesTheGridAsShown) {
  ASSERT_TRUE(fObs->SaveGridTo(Path("empty.csv")));
  EXPECT_EQ(Records(ReadFile(Path("empty.csv"))), QStringList{kHeader});  // the empty row is left out

  fObs->rbDinamica->click();
  fObs->AddRequest(Rec(1, 4101, kRead, QStringLiteral("Входы; 24 В")));
  fObs->AddAnswer(Rec(1, 4101, kAnswer, QString(), QStringLiteral("12")));
  fObs->AddRequest(Rec(2, 4102, {0x10, 0x06}, QStringLiteral("Реле \"1\"")));
  fObs->rbDec->click();
  ASSERT_TRUE(fObs->SaveGridTo(Path("grid.csv")));

  const QStringList records = Records(ReadFile(Path("grid.csv")));
  ASSERT_EQ(records.size(), 3);
  EXPECT_EQ(records[0], kHeader);
  const QString time = fObs->SG->item(0, kObsColTime)->text();
  EXPECT_EQ(records[1], QStringLiteral("1;") + time +
                            QStringLiteral(";4101 (0x1005);03h;0 мс;12;\"Входы; 24 В\";16.03.16.05.00.01.147.138;"
                                           "16.03.02.00.12.69.129"));
  EXPECT_TRUE(records[2].endsWith(QStringLiteral(";;;\"Реле \"\"1\"\"\";16.06;"))) << records[2].toStdString();

  // Static mode with a register filter: only what the grid keeps.
  fObs->rbStatica->click();
  fObs->btnFilters->click();
  fObs->chFilterReg->click();
  fObs->txtReg->setValue(4102);
  fObs->AddRequest(Rec(3, 4101, kRead));
  fObs->AddRequest(Rec(4, 4102, kRead));
  fObs->AddRequest(Rec(5, 4102, kRead));
  ASSERT_TRUE(fObs->SaveGridTo(Path("static.csv")));
  const QStringList kept = Records(ReadFile(Path("static.csv")));
  ASSERT_EQ(kept.size(), 2);
  EXPECT_TRUE(kept[1].startsWith(QStringLiteral("5;"))) << kept[1].toStdString();
}

// The button asks for the file with the suggested name in the documents
// folder; rows that arrive while the dialog is open stay in the grid and go
// into the file.
TEST_F(ObserverSave, ButtonSavesWhereTheDialogSaysWhileTheGridRunsOn) {
  fObs->rbDinamica->click();
  fObs->AddRequest(Rec(1, 4101, kRead));
  QString suggested;
  QString filter;
  SetSaveFileChooser([&](QWidget* aParent, const QString& aSuggested, const QString& aFilter) {
    EXPECT_EQ(aParent, fObs.get());
    suggested = aSuggested;
    filter = aFilter;
    fObs->AddRequest(Rec(2, 4102, kRead));  // the line goes on meanwhile
    fObs->AddAnswer(Rec(1, 4101, kAnswer, QString(), QStringLiteral("12")));
    return Path("chosen.csv");
  });
  fObs->btnSave->click();

  const QFileInfo info(suggested);
  EXPECT_EQ(info.absolutePath(), QDir(SaveFolder()).absolutePath());
#ifdef _WIN32
  const QString line = QStringLiteral("COM7");
#else
  const QString line = QStringLiteral("ttyS6");  // the device of port 7, not a number
#endif
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Наблюдение_") + line + QStringLiteral("_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.csv$"))
                  .match(info.fileName())
                  .hasMatch())
      << info.fileName().toStdString();
  EXPECT_EQ(filter, QStringLiteral("CSV (*.csv)"));

  EXPECT_EQ(fObs->SG->rowCount(), 2);
  EXPECT_FALSE(fObs->btnPause->isChecked());
  const QStringList records = Records(ReadFile(Path("chosen.csv")));
  ASSERT_EQ(records.size(), 3);
  EXPECT_TRUE(records[1].startsWith(QStringLiteral("1;")));
  EXPECT_TRUE(records[1].endsWith(QStringLiteral(";10.03.02.00.0C.45.81")));
  EXPECT_TRUE(records[2].startsWith(QStringLiteral("2;")));
  fObs->AddRequest(Rec(3, 4103, kRead));
  EXPECT_EQ(fObs->SG->rowCount(), 3);

  // Cancelled: no file, no message.
  const size_t logLines = TempLogLines().size();
  SetSaveFileChooser([](QWidget*, const QString&, const QString&) { return QString(); });
  fObs->btnSave->click();
  EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("chosen.csv")});
  EXPECT_EQ(TempLogLines().size(), logLines);
}

// A save that cannot complete leaves the earlier file whole and says why in
// the message log, in navy like every error.
TEST_F(ObserverSave, FailedSaveKeepsTheEarlierFileAndLogsTheReason) {
  fObs->AddRequest(Rec(1, 4101, kRead));
  WriteFile(Path("grid.csv"), "earlier");
  ASSERT_TRUE(QDir(fDir.path()).mkpath(QStringLiteral("grid.csv.tmp/keep")));  // no temporary file can be made

  EXPECT_FALSE(fObs->SaveGridTo(Path("grid.csv")));
  EXPECT_EQ(ReadFile(Path("grid.csv")), QByteArray("earlier"));
  EXPECT_TRUE(TopLogLine().startsWith(QStringLiteral("Ошибка: не удалось записать файл "))) << TopLogLine().toStdString();
  EXPECT_EQ(TempLogLines().front().Color, BgrToColor(clTempLogNavy));

  WriteFile(Path("file"), "x");  // a file where the folder should be
  EXPECT_FALSE(fLog->SaveLogTo(Path("file/log.txt")));
  EXPECT_TRUE(TopLogLine().startsWith(QStringLiteral("Ошибка: не удалось создать папку "))) << TopLogLine().toStdString();
  EXPECT_EQ(ReadFile(Path("file")), QByteArray("x"));
}

// The log's lines newest first, the counter block included, as UTF-8 text.
TEST_F(ObserverSave, LogSavesItsLinesNewestFirst) {
  AddTempLog(QStringLiteral("первая"), clTempLogNavy);
  AddTempLog(QStringLiteral("Неизвестный UID (5):   Ответ: 10 03"), clTempLogMaroon);
  SetTempLogErrors(2, 3);

  QString suggested;
  SetSaveFileChooser([&](QWidget* aParent, const QString& aSuggested, const QString& aFilter) {
    EXPECT_EQ(aParent, fLog.get());
    EXPECT_EQ(aFilter, QStringLiteral("Текст (*.txt)"));
    suggested = aSuggested;
    return Path("log.txt");
  });
  fLog->btnSave->click();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Лог_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.txt$"))
                  .match(QFileInfo(suggested).fileName())
                  .hasMatch())
      << suggested.toStdString();

#ifdef _WIN32
  const QString eol = QStringLiteral("\r\n");
#else
  const QString eol = QStringLiteral("\n");
#endif
  const QByteArray saved = ReadFile(Path("log.txt"));
  EXPECT_FALSE(saved.startsWith("\xEF\xBB\xBF"));
  const QStringList lines = QString::fromUtf8(saved).split(eol);
  ASSERT_EQ(lines.size(), 2 + 9 + 1);  // the last line break leaves an empty tail
  EXPECT_EQ(lines[0], QStringLiteral("Неизвестный UID (5):   Ответ: 10 03"));
  EXPECT_EQ(lines[1], QStringLiteral("первая"));
  EXPECT_EQ(lines[2], QStringLiteral("Ошибок 01h: 0"));
  EXPECT_EQ(lines[3], QStringLiteral("Ошибок 02h: 3"));
  EXPECT_EQ(lines[10], QStringLiteral("Других ошибок: 0"));
  EXPECT_EQ(lines[11], QString());
  EXPECT_EQ(saved, TempLogFileText());
}

TEST_F(ObserverSave, LogWindowShowsTheButtonAtTheBottomRight) {
  fLog->show();
  EXPECT_EQ(fLog->btnSave->text(), QStringLiteral("Сохранить"));
  EXPECT_EQ(fLog->btnSave->accessibleName(), QStringLiteral("Сохранить"));
  EXPECT_FALSE(fLog->btnSave->isHidden());
  const QRect rich = fLog->Rich->geometry();
  const QRect button = fLog->btnSave->geometry();
  EXPECT_GT(button.top(), rich.bottom());
  EXPECT_EQ(button.right(), fLog->width() - 4);
  EXPECT_EQ(button.bottom(), fLog->height() - 4);
}

#ifndef _WIN32
// The documents folder is made when it is missing, so the dialog opens there.
TEST(SaveFolder, IsTheDocumentsFolderMadeWhenMissing) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QByteArray oldHome = qgetenv("HOME");
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QFile::encodeName(home.path()));
  qunsetenv("XDG_CONFIG_HOME");
  const QString folder = SaveFolder();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  qputenv("HOME", oldHome);
  if (oldConfig.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", oldConfig);

  EXPECT_EQ(folder, documents);
  EXPECT_TRUE(folder.startsWith(home.path())) << folder.toStdString();
  EXPECT_TRUE(QFileInfo(folder).isDir());
}
#endif
