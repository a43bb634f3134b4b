#include "uPanelControls.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QTimer>

#include "uBlinker.h"
#include "uModulePictures.h"
#include "uUtils.h"

namespace {

// The palette a flashing time field had before it turned red.
constexpr char kOwnPaletteProperty[] = "rkMaskBlinkPalette";

}  // namespace

void SetHint(QWidget* aWidget, const QString& aTitle, const QString& aNotes) {
  QString tip = aTitle;
  tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (!aNotes.isEmpty()) tip += QLatin1Char('\n') + aNotes;
  aWidget->setToolTip(tip);
  aWidget->setAccessibleName(aTitle.section(QStringLiteral("\r\n"), 0, 0));
  if (!aNotes.isEmpty()) aWidget->setAccessibleDescription(aNotes);
}

QLabel* Caption(QWidget* aParent, const QString& aText, const QRect& aGeometry, Qt::Alignment aAlign) {
  auto* label = new QLabel(aText, aParent);
  label->setGeometry(aGeometry);
  label->setAlignment(aAlign);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  return label;
}

QLabel* TitleCaption(QWidget* aParent, const QString& aText, const QRect& aGeometry) {
  QLabel* title = Caption(aParent, aText, aGeometry, Qt::AlignCenter);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  return title;
}

QLabel* InfoIcon(QWidget* aParent, const QPoint& aPos, const QString& aHint) {
  auto* icon = new QLabel(aParent);
  icon->setPixmap(InfoIconPixmap(aParent->devicePixelRatioF()));
  icon->setGeometry(QRect(aPos, kInfoIconSize));
  SetHint(icon, aHint);
  return icon;
}

void StyleSidePanel(QFrame* aPanel, const QString& aName, const QSize& aSize) {
  aPanel->setObjectName(aName);
  aPanel->setFrameShape(QFrame::StyledPanel);
  aPanel->setAutoFillBackground(true);
  QPalette palette = aPanel->palette();
  palette.setColor(QPalette::Window, QColor(246, 247, 249));
  aPanel->setPalette(palette);
  aPanel->resize(aSize);
  QFont font = aPanel->font();
  font.setPixelSize(12);
  aPanel->setFont(font);
  aPanel->hide();
}

bool CheckBlinkEditInt(QLineEdit* aEdit, int32_t& aValue, int32_t aMin, int32_t aMax) {
  if (aEdit == nullptr) return false;
  int32_t number = 0;
  const bool ok = TryStrToInt32(aEdit->text().toStdString(), number) &&
                  (aMin == INT32_MAX || number >= aMin) && (aMax == INT32_MAX || number <= aMax);
  if (!ok) {
    BlinkEdit(aEdit);
    return false;
  }
  aValue = number;
  return true;
}

void BlinkMaskEdit(QLineEdit* aEdit) {
  if (aEdit == nullptr || aEdit->property(kOwnPaletteProperty).isValid()) return;
  aEdit->setProperty(kOwnPaletteProperty, QVariant::fromValue(aEdit->palette()));
  QPalette red = aEdit->palette();
  red.setColor(QPalette::Base, kBlinkRed);
  aEdit->setPalette(red);
  QTimer::singleShot(kMaskBlinkMs, aEdit, [aEdit] {
    aEdit->setPalette(aEdit->property(kOwnPaletteProperty).value<QPalette>());
    aEdit->setProperty(kOwnPaletteProperty, QVariant());
  });
}

void FitComboDropDown(QComboBox* aCombo) {
  if (aCombo == nullptr) return;
  const QFontMetrics metrics(aCombo->view()->font());
  int width = 0;
  for (int i = 0; i < aCombo->count(); ++i) width = std::max(width, metrics.horizontalAdvance(aCombo->itemText(i)));
  width += 8;
  if (aCombo->width() >= width) return;
  if (aCombo->count() > aCombo->maxVisibleItems()) width += aCombo->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  aCombo->view()->setMinimumWidth(width + 5);
}
