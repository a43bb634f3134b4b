#include <gtest/gtest.h>

#include <functional>

#include "uPortObsFeed.h"

namespace {

// Writes what it is fed into a journal shared by all observers of a test.
class RecordingObserver : public IPortObserver {
public:
  RecordingObserver(std::string aName, std::vector<std::string>& aJournal) : fName(std::move(aName)), fJournal(aJournal) {}

  void AddRequest(const TzPortObsRec& aRec) override {
    fJournal.push_back(fName + " request " + std::to_string(aRec.Index));
    Records.push_back(aRec);
    if (OnFeed) OnFeed();
  }
  void AddAnswer(const TzPortObsRec& aRec) override {
    fJournal.push_back(fName + " answer " + std::to_string(aRec.Index));
    Records.push_back(aRec);
    if (OnFeed) OnFeed();
  }

  std::vector<TzPortObsRec> Records;
  std::function<void()> OnFeed;

private:
  std::string fName;
  std::vector<std::string>& fJournal;
};

TzPortObsRec Rec(int32_t aIndex) {
  TzPortObsRec rec;
  rec.Port = 3;
  rec.Index = aIndex;
  rec.Addr = 16;
  rec.Func = 3;
  rec.Reg = 4101;
  rec.Cmd = {0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A};
  rec.Value = QStringLiteral("12");
  rec.Name = QStringLiteral("Состояние входов");
  return rec;
}

class PortObsFeed : public testing::Test {
protected:
  void TearDown() override {
    for (IPortObserver* observer : PortObservers()) PortObsRemove(observer);
  }
  std::vector<std::string> fJournal;
  RecordingObserver fA{"A", fJournal};
  RecordingObserver fB{"B", fJournal};
  RecordingObserver fC{"C", fJournal};
};

}  // namespace

TEST_F(PortObsFeed, EveryObserverGetsEveryRecordInOpeningOrder) {
  PortObsAdd(&fB);
  PortObsAdd(&fA);
  PortObsFeedRequest(Rec(1));
  PortObsFeedAnswer(Rec(1));
  PortObsFeedRequest(Rec(2));
  EXPECT_EQ(fJournal, (std::vector<std::string>{"B request 1", "A request 1", "B answer 1", "A answer 1",
                                                "B request 2", "A request 2"}));
  ASSERT_EQ(fA.Records.size(), 3u);
  const TzPortObsRec& got = fA.Records[0];
  const TzPortObsRec sent = Rec(1);
  EXPECT_EQ(got.Port, sent.Port);
  EXPECT_EQ(got.Index, sent.Index);
  EXPECT_EQ(got.Addr, sent.Addr);
  EXPECT_EQ(got.Func, sent.Func);
  EXPECT_EQ(got.Reg, sent.Reg);
  EXPECT_EQ(got.Cmd, sent.Cmd);
  EXPECT_EQ(got.Value, sent.Value);
  EXPECT_EQ(got.Name, sent.Name);
}

TEST_F(PortObsFeed, ARemovedObserverGetsNoMoreRecords) {
  PortObsAdd(&fA);
  PortObsAdd(&fB);
  PortObsAdd(&fA);     // already open: still one feed per record
  PortObsAdd(nullptr); // ignored
  PortObsFeedRequest(Rec(1));
  PortObsRemove(&fA);
  PortObsRemove(&fC);  // not open: nothing changes
  PortObsFeedRequest(Rec(2));
  PortObsFeedAnswer(Rec(2));
  EXPECT_EQ(fJournal, (std::vector<std::string>{"A request 1", "B request 1", "B request 2", "B answer 2"}));
  EXPECT_EQ(PortObservers(), std::vector<IPortObserver*>{&fB});

  // With no observer open the feeds do nothing.
  PortObsRemove(&fB);
  PortObsFeedAnswer(Rec(3));
  EXPECT_EQ(fJournal.size(), 4u);
}

TEST_F(PortObsFeed, ObserversOpenedOrClosedDuringAFeed) {
  PortObsAdd(&fA);
  PortObsAdd(&fB);
  PortObsAdd(&fC);
  // A closes itself and C while it is fed: B still gets the record, C does not.
  fA.OnFeed = [this] {
    PortObsRemove(&fA);
    PortObsRemove(&fC);
  };
  PortObsFeedRequest(Rec(1));
  EXPECT_EQ(fJournal, (std::vector<std::string>{"A request 1", "B request 1"}));

  // B opens C while it is fed: C gets the next record, not this one.
  fJournal.clear();
  fB.OnFeed = [this] { PortObsAdd(&fC); };
  PortObsFeedAnswer(Rec(1));
  fB.OnFeed = nullptr;
  PortObsFeedAnswer(Rec(2));
  EXPECT_EQ(fJournal, (std::vector<std::string>{"B answer 1", "B answer 2", "C answer 2"}));
}

TEST(PortObsBytes, HexAndDecimalTexts) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* hex;
    const char* dec;
  };
  const Case cases[] = {
      {{0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A}, "10.03.10.05.00.01.93.8A", "16.03.16.05.00.01.147.138"},
      {{}, "", ""},
      {{0x00}, "00", "00"},
      {{0x05}, "05", "05"},
      {{0x0A, 0x64, 0xFF}, "0A.64.FF", "10.100.255"},
      {{0xAB, 0xCD, 0xEF}, "AB.CD.EF", "171.205.239"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BytesToHexText(c.bytes), QString::fromLatin1(c.hex));
    EXPECT_EQ(BytesToDecText(c.bytes), QString::fromLatin1(c.dec));
  }
}
