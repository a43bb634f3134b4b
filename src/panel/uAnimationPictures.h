// The two animated pictures of the frame, drawn in code like the lamps and
// relays (so they are sharp at any screen scale): the arrow that points at
// "СОМ-порт" while nothing is connected, and the festive hat the module wears
// in the winter holidays. Both are plain pictures: a click on them does
// nothing.
#pragma once

#include <QWidget>

// A 32 x 32 arrow pointing left. Accessible name "Стрелка".
class TzArrowPicture : public QWidget {
public:
  explicit TzArrowPicture(QWidget* aParent);

protected:
  void paintEvent(QPaintEvent* aEvent) override;
};

// A red hat with a white brim and bobble, 64 x 52. Accessible name
// "Праздничная шапка".
class TzHolidayHat : public QWidget {
public:
  explicit TzHolidayHat(QWidget* aParent);

protected:
  void paintEvent(QPaintEvent* aEvent) override;
};
