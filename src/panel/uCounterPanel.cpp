#include "uCounterPanel.h"

#include <QLabel>
#include <QPushButton>

#include "uButtonActivation.h"
#include "uPanelControls.h"

namespace {

constexpr int kColumnWidth = 206;
constexpr int kFirstRowTop = 32;
constexpr int kRowStep = 28;

}  // namespace

TzCounterPanel::TzCounterPanel(QWidget* aParent, TzRegSink& aSink) : QFrame(aParent), fSink(aSink) {
  StyleSidePanel(this, QStringLiteral("panDIn_Imp"), QSize(2 * kColumnWidth + 12, kFirstRowTop + 6 * kRowStep + 6));
  TitleCaption(this, QStringLiteral("Счётчик импульсов"), QRect(8, 5, width() - 16, 20));

  for (int input = 1; input <= kInputCount; ++input) {
    const int left = 6 + (input - 1) / 6 * kColumnWidth;
    const int top = kFirstRowTop + (input - 1) % 6 * kRowStep;
    const size_t i = static_cast<size_t>(input - 1);
    Caption(this, QStringLiteral("Вход #%1:").arg(input), QRect(left, top, 60, 24));
    // The value is what assistive technology reads: the label's own text.
    QLabel* value = Caption(this, QStringLiteral("65535"), QRect(left + 64, top, 64, 24), Qt::AlignCenter);
    value->setObjectName(QStringLiteral("txtDin%1Imp").arg(input));
    value->setFrameShape(QFrame::StyledPanel);
    value->setAutoFillBackground(true);
    QPalette palette = value->palette();
    palette.setColor(QPalette::Window, Qt::white);
    value->setPalette(palette);
    txtDinImp[i] = value;

    auto* clear = new QPushButton(QStringLiteral("Сброс"), this);
    clear->setObjectName(QStringLiteral("btnDin%1ImpClear").arg(input));
    clear->setAccessibleName(QStringLiteral("Сброс: Вход #%1").arg(input));
    clear->setGeometry(left + 134, top, 64, 24);
    OnButtonActivated(clear, this, [this, input] { btnDin1ImpClearClick(input - 1); });
    btnDinImpClear[i] = clear;
  }
}

void TzCounterPanel::btnDin1ImpClearClick(int aTag) { ResetPulseCounter(fSink, aTag + 1); }

void TzCounterPanel::ShowImpCounters(const std::vector<int32_t>& aCounters) {
  for (size_t i = 0; i < aCounters.size() && i < txtDinImp.size(); ++i)
    txtDinImp[i]->setText(QString::number(aCounters[i]));
}
