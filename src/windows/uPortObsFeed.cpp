#include "uPortObsFeed.h"

#include <algorithm>

namespace {

std::vector<IPortObserver*>& Observers() {
  static std::vector<IPortObserver*> observers;
  return observers;
}

bool IsListed(IPortObserver* aObserver) {
  const auto& list = Observers();
  return std::find(list.begin(), list.end(), aObserver) != list.end();
}

// Walks a copy of the list, so an observer may open or close windows while it
// is fed; a removed one is skipped instead of being called after it is gone.
template <typename Feed>
void FeedAll(Feed aFeed) {
  const std::vector<IPortObserver*> snapshot = Observers();
  for (IPortObserver* observer : snapshot)
    if (IsListed(observer)) aFeed(*observer);
}

QString JoinBytes(std::span<const uint8_t> aBytes, int aBase) {
  QString text;
  for (size_t i = 0; i < aBytes.size(); ++i) {
    if (i > 0) text += QLatin1Char('.');
    text += QStringLiteral("%1").arg(aBytes[i], 2, aBase, QLatin1Char('0'));
  }
  return aBase == 16 ? text.toUpper() : text;
}

}  // namespace

void PortObsAdd(IPortObserver* aObserver) {
  if (aObserver && !IsListed(aObserver)) Observers().push_back(aObserver);
}

void PortObsRemove(IPortObserver* aObserver) {
  auto& list = Observers();
  list.erase(std::remove(list.begin(), list.end(), aObserver), list.end());
}

std::vector<IPortObserver*> PortObservers() {
  return Observers();
}

void PortObsFeedRequest(const TzPortObsRec& aRec) {
  FeedAll([&aRec](IPortObserver& aObserver) { aObserver.AddRequest(aRec); });
}

void PortObsFeedAnswer(const TzPortObsRec& aRec) {
  FeedAll([&aRec](IPortObserver& aObserver) { aObserver.AddAnswer(aRec); });
}

QString BytesToHexText(std::span<const uint8_t> aBytes) {
  return JoinBytes(aBytes, 16);
}

QString BytesToDecText(std::span<const uint8_t> aBytes) {
  return JoinBytes(aBytes, 10);
}
