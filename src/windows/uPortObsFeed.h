// What the port observer windows are fed with: the record of one request or
// answer, the interface every observer implements, the list of open observers
// and the two feed operations the panel calls from its request builders and its
// answer handler. Everything runs on the user-interface thread.
#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

// One request or answer on the line.
struct TzPortObsRec {
  int32_t Port = 0;           // COM port number of the line (carried, not shown)
  int32_t Index = 0;          // UID of the request; ties an answer to its row
  uint32_t Connection = 0;    // which connection's engine gave the UID (UIDs start again with each)
  int32_t Addr = 0;           // module address (carried, not shown)
  int32_t Func = 0;           // Modbus function code of the request
  int32_t Reg = 0;            // register address of the request
  std::vector<uint8_t> Cmd;   // request: the frame's bytes; answer: the answer's bytes
  QString Value;              // answer: the value or error text to show; request: ignored
  QString Name;               // the tag's name
};

// An open observer window.
class IPortObserver {
public:
  virtual ~IPortObserver() = default;
  virtual void AddRequest(const TzPortObsRec& aRec) = 0;
  virtual void AddAnswer(const TzPortObsRec& aRec) = 0;
};

// The list of open observers, in the order they were opened. An observer is
// added once (a second add changes nothing) and must be removed before it is
// destroyed; removing one that is not listed changes nothing. Null is ignored.
void PortObsAdd(IPortObserver* aObserver);
void PortObsRemove(IPortObserver* aObserver);
std::vector<IPortObserver*> PortObservers();

// Hand the record to AddRequest / AddAnswer of every listed observer in list
// order. An observer removed during a feed gets nothing more from it; one added
// during a feed gets the next record.
void PortObsFeedRequest(const TzPortObsRec& aRec);
void PortObsFeedAnswer(const TzPortObsRec& aRec);

// Byte texts joined by "." without spaces: two upper-case hexadecimal digits per
// byte ("10.03.10.05.00.01.93.8A"), or the decimal value with at least two
// digits ("16.03.16.05.00.01.147.138"). No bytes give an empty text.
QString BytesToHexText(std::span<const uint8_t> aBytes);
QString BytesToDecText(std::span<const uint8_t> aBytes);
