#include "uFindPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include "uBusSearch.h"
#include "uPanelControls.h"

namespace {

constexpr QSize kPanelSize{170, 228};

// Restores the flag however the change ends.
struct TzUpdating {
  bool& Flag;
  explicit TzUpdating(bool& aFlag) : Flag(aFlag) { Flag = true; }
  ~TzUpdating() { Flag = false; }
};

}  // namespace

void TzFindListBox::keyPressEvent(QKeyEvent* aEvent) {
  if ((aEvent->key() == Qt::Key_Return || aEvent->key() == Qt::Key_Enter) && currentRow() >= 0) {
    emit Chosen(currentRow());
    aEvent->accept();
    return;
  }
  QListWidget::keyPressEvent(aEvent);
}

TzFindPanel::TzFindPanel(QWidget* aParent) : QFrame(aParent) {
  StyleSidePanel(this, QStringLiteral("panFind"), kPanelSize);
  const QString caption = QStringLiteral("Устройства");
  QLabel* title = TitleCaption(this, caption, QRect(8, 5, kPanelSize.width() - 16, 20));

  FindListBox = new TzFindListBox(this);
  FindListBox->setObjectName(QStringLiteral("FindListBox"));
  FindListBox->setGeometry(6, 28, kPanelSize.width() - 12, kPanelSize.height() - 58);
  FindListBox->setAccessibleName(caption);
  title->setBuddy(FindListBox);

  aniAdvProgress = new QProgressBar(this);
  aniAdvProgress->setObjectName(QStringLiteral("aniAdvProgress"));
  aniAdvProgress->setGeometry(6, kPanelSize.height() - 26, kPanelSize.width() - 12, 18);
  aniAdvProgress->setRange(kFindFirstAddr, kFindLastAddr);
  aniAdvProgress->setFormat(QStringLiteral("%v"));
  aniAdvProgress->setAccessibleName(QStringLiteral("Опрашиваемый адрес"));
  aniAdvProgress->hide();

  connect(FindListBox, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* aItem) { emit FindListBox->Picked(FindListBox->row(aItem)); });
  connect(FindListBox, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* aItem) { emit FindListBox->Chosen(FindListBox->row(aItem)); });
  connect(FindListBox, &QListWidget::currentRowChanged, this, [this](int aRow) {
    if (!fUpdating && aRow >= 0) emit FindListBox->Picked(aRow);
  });
}

void TzFindPanel::Progress(int32_t aPos) {
  TzUpdating updating(fUpdating);
  if (fResults.Progress(aPos)) FindListBox->insertItem(0, QString());
  FindListBox->item(0)->setText(QString::fromStdString(fResults.Lines().front().Text));
}

void TzFindPanel::AddAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer, const TzFindDevice& aSettings) {
  TzUpdating updating(fUpdating);
  if (fResults.AddAnswer(aAddr, aAnswer, aSettings))
    FindListBox->addItem(QString::fromStdString(fResults.Lines().back().Text));
}

void TzFindPanel::RemoveCounterLine() {
  TzUpdating updating(fUpdating);
  const int row = fResults.RemoveCounterLine();
  if (row >= 0) delete FindListBox->takeItem(row);
}

void TzFindPanel::Clear() {
  TzUpdating updating(fUpdating);
  fResults.Clear();
  FindListBox->clear();
}

const TzFindDevice* TzFindPanel::CurrentDevice() const { return fResults.DeviceAt(FindListBox->currentRow()); }
