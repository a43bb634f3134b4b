#include "uTempLog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "uSaveFile.h"

namespace {

// The box the functions write to; null before the log window exists.
QPointer<QTextEdit>& LogRich() {
  static QPointer<QTextEdit> rich;
  return rich;
}

QTextDocument* LogDocument() {
  QTextEdit* rich = LogRich().data();
  return rich ? rich->document() : nullptr;
}

QString CounterKey(int32_t aCode) {
  return QStringLiteral("Ошибок 0") + QString::number(aCode);
}

QString CounterText(int32_t aCode, int32_t aCount) {
  return CounterKey(aCode) + QStringLiteral("h: ") + QString::number(aCount);
}

const QString kOtherKey = QStringLiteral("Других ошибок:");

QString OtherText(int32_t aCount) {
  return kOtherKey + QLatin1Char(' ') + QString::number(aCount);
}

// The counter block: other codes first, then codes 8 down to 1, each on top,
// so it reads codes 1..8 and then other codes from top to bottom.
void AddCounterBlock(const TzTempLogCounts& aCounts) {
  AddTempLog(OtherText(aCounts[8]), clTempLogNavy);
  for (int32_t code = 8; code >= 1; --code) AddTempLog(CounterText(code, aCounts[static_cast<size_t>(code - 1)]), clTempLogNavy);
}

}  // namespace

TfrmTempLog::TfrmTempLog(QWidget* aMainWindow)
    : QWidget(aMainWindow, Qt::Window | Qt::WindowStaysOnTopHint), fMainWindow(aMainWindow) {
  setWindowTitle(QStringLiteral("Лог"));
  setAccessibleName(QStringLiteral("Лог"));
  resize(635, 413);

  Rich = new QTextEdit(this);
  Rich->setObjectName(QStringLiteral("Rich"));
  Rich->setAccessibleName(QStringLiteral("Сообщения"));
  Rich->setReadOnly(true);
  // Long lines wrap at the box's width; unwrapped lines would make every
  // insertion lay out the whole log again to find its widest line.
  Rich->setLineWrapMode(QTextEdit::WidgetWidth);
  Rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(13);
  Rich->setFont(font);
  Rich->document()->setDefaultFont(font);
  // The log lives as long as the program: no undo history may pile up.
  Rich->document()->setUndoRedoEnabled(false);

  btnSave = new QPushButton(QStringLiteral("Сохранить"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnSave->setAccessibleName(btnSave->text());
  btnSave->setToolTip(QStringLiteral("Сохраняет сообщения в текстовый файл"));
  btnSave->setAutoDefault(false);
  connect(btnSave, &QPushButton::clicked, this, [this] { SaveLog(); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(3);
  layout->addWidget(Rich);
  auto* bar = new QHBoxLayout;
  bar->addStretch();
  bar->addWidget(btnSave);
  layout->addLayout(bar);

  chkUnique = new QCheckBox(QStringLiteral("Показывать только уникальные сообщения (без повторов)"), this);
  chkUnique->setObjectName(QStringLiteral("chkUnique"));
  chkUnique->setAccessibleName(chkUnique->text());
  chkUnique->setChecked(false);
  chkUnique->hide();

  btnClear = new QPushButton(QStringLiteral("Очистить"), this);
  btnClear->setObjectName(QStringLiteral("btnClear"));
  btnClear->setAccessibleName(btnClear->text());
  btnClear->hide();

  FormCreate();
}

void TfrmTempLog::FormCreate() {
  LogRich() = Rich;
  AddCounterBlock(TzTempLogCounts{});
}

void TfrmTempLog::RePos(const QWidget* aMainWindow) {
  if (!aMainWindow) return;
  const QRect main = aMainWindow->frameGeometry();
  const QRect own = frameGeometry();
  move(main.left() + main.width() / 2 - own.width() / 2, main.top() + main.height() / 2 - own.height() / 2);
}

void TfrmTempLog::SaveLog() {
  const QString suggested = SuggestedSavePath(QStringLiteral("Лог"), QDateTime::currentDateTime(), QStringLiteral("txt"));
  const QString path = ChooseSaveFile(this, suggested, QStringLiteral("Текст (*.txt)"));
  if (!path.isEmpty()) SaveLogTo(path);
}

bool TfrmTempLog::SaveLogTo(const QString& aPath) { return SaveFileReporting(aPath, TempLogFileText()); }

void TfrmTempLog::closeEvent(QCloseEvent* aEvent) {
  aEvent->ignore();
  hide();
}

void TfrmTempLog::showEvent(QShowEvent* aEvent) {
  if (!fShownOnce) {
    fShownOnce = true;
    RePos(fMainWindow.data());
  }
  QWidget::showEvent(aEvent);
}

void AddTempLog(const QString& aText, uint32_t aColor) {
  QTextDocument* doc = LogDocument();
  if (!doc) return;
  if (LogLineCount(*doc) >= kTempLogTrimAt) LogKeepFirst(*doc, kTempLogKeep);
  LogInsertTop(*doc, aText, aColor);
}

void ReplaceTempLog(const QString& aKey, const QString& aText) {
  if (QTextDocument* doc = LogDocument()) LogReplace(*doc, aKey, aText);
}

void SetTempLogErrors(int32_t aCode, int32_t aCount) {
  if (aCode >= 1 && aCode <= 8)
    ReplaceTempLog(CounterKey(aCode), CounterText(aCode, aCount));
  else
    ReplaceTempLog(kOtherKey, OtherText(aCount));
}

void ClearTempLog(const TzTempLogCounts& aCounts) {
  QTextDocument* doc = LogDocument();
  if (!doc) return;
  LogClear(*doc);
  AddCounterBlock(aCounts);
}

std::vector<TzTempLogLine> TempLogLines() {
  const QTextDocument* doc = LogDocument();
  return doc ? LogLines(*doc) : std::vector<TzTempLogLine>{};
}

QByteArray TempLogFileText() {
#ifdef _WIN32
  const QString lineEnd = QStringLiteral("\r\n");
#else
  const QString lineEnd = QStringLiteral("\n");
#endif
  QString text;
  for (const TzTempLogLine& line : TempLogLines()) text += line.Text + lineEnd;
  return text.toUtf8();
}
