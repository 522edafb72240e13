#pragma once
#include <cstdint>
#include <exception>
#include <string>

#include "ui/exceptions.h"

namespace dorv::serial {

class TBaseComponent;

// Result codes: 0 success, positive a count or state, negative an error.
// -2 to -162 are negated system error codes; the layer's own are grouped by
// thousands.
enum : int32_t {
  ecOK = 0,
  ecFileNotFound = -2,
  ecPathNotFound = -3,
  ecAccessDenied = -5,
  ecOutOfMemory = -8,
  ecBadHandle = -1001,
  ecBadArgument = -1002,
  ecGotQuitMsg = -1003,
  ecBufferTooBig = -1004,
  ecPortNotAssigned = -1005,
  ecInternal = -1006,
  ecModemNotAssigned = -1007,
  ecPhonebookNotAssigned = -1008,
  ecCannotUseWithWinSock = -1009,
  ecBadId = -2001,
  ecBaudRate = -2002,
  ecByteSize = -2003,
  ecDefault = -2004,
  ecHardware = -2005,
  ecMemory = -2006,
  ecCommNotOpen = -2007,
  ecAlreadyOpen = -2008,
  ecNoHandles = -2009,
  ecNoTimers = -2010,
  ecNoPortSelected = -2011,
  ecNotOpenedByTapi = -2012,
  ecNullApi = -3001,
  ecRegisterHandlerFailed = -3003,
  ecPutBlockFail = -3004,
  ecGetBlockFail = -3005,
  ecOutputBufferTooSmall = -3006,
  ecBufferIsEmpty = -3007,
  ecTracingNotEnabled = -3008,
  ecLoggingNotEnabled = -3009,
  ecBaseAddressNotSet = -3010,
  ecNoMoreTriggers = -5001,
  ecTriggerTooLong = -5002,
  ecBadTriggerHandle = -5003,
};

// The layer's exceptions: a code (0 when built from a text) and a message.
class ESerialException : public ui::Exception {
 public:
  // The message is the error table's text for the code's magnitude.
  explicit ESerialException(int32_t code);
  explicit ESerialException(const std::string& text);
  // A code with a message of its own (the table's text with specifics).
  ESerialException(int32_t code, const std::string& text);
  int32_t ErrorCode() const { return code_; }

 private:
  int32_t code_;
};

#define DORV_SERIAL_EXCEPTION(Name, Base) \
  class Name : public Base {              \
   public:                                \
    using Base::Base;                     \
  };

DORV_SERIAL_EXCEPTION(EGeneral, ESerialException)
DORV_SERIAL_EXCEPTION(EOpenComm, ESerialException)
DORV_SERIAL_EXCEPTION(ESerialIO, ESerialException)
DORV_SERIAL_EXCEPTION(EModem, ESerialException)
DORV_SERIAL_EXCEPTION(ETrigger, ESerialException)
DORV_SERIAL_EXCEPTION(EProtocol, ESerialException)
DORV_SERIAL_EXCEPTION(EINI, ESerialException)
DORV_SERIAL_EXCEPTION(EFax, ESerialException)
DORV_SERIAL_EXCEPTION(ETapi, ESerialException)
DORV_SERIAL_EXCEPTION(ERas, ESerialException)
DORV_SERIAL_EXCEPTION(EPacket, ESerialException)
DORV_SERIAL_EXCEPTION(ETerminal, ESerialException)

DORV_SERIAL_EXCEPTION(EBadArgument, EGeneral)
DORV_SERIAL_EXCEPTION(EGotQuitMsg, EGeneral)
DORV_SERIAL_EXCEPTION(EBufferTooBig, EGeneral)
DORV_SERIAL_EXCEPTION(EPortNotAssigned, EGeneral)
DORV_SERIAL_EXCEPTION(EInternal, EGeneral)
DORV_SERIAL_EXCEPTION(EModemNotAssigned, EGeneral)
DORV_SERIAL_EXCEPTION(EPhonebookNotAssigned, EGeneral)
DORV_SERIAL_EXCEPTION(ECannotUseWithWinSock, EGeneral)

DORV_SERIAL_EXCEPTION(EBadId, EOpenComm)
DORV_SERIAL_EXCEPTION(EBaudRate, EOpenComm)
DORV_SERIAL_EXCEPTION(EByteSize, EOpenComm)
DORV_SERIAL_EXCEPTION(EDefault, EOpenComm)
DORV_SERIAL_EXCEPTION(EHardware, EOpenComm)
DORV_SERIAL_EXCEPTION(EMemory, EOpenComm)
DORV_SERIAL_EXCEPTION(ECommNotOpen, EOpenComm)
DORV_SERIAL_EXCEPTION(EAlreadyOpen, EOpenComm)
DORV_SERIAL_EXCEPTION(ENoHandles, EOpenComm)
DORV_SERIAL_EXCEPTION(ENoTimers, EOpenComm)
DORV_SERIAL_EXCEPTION(ENoPortSelected, EOpenComm)
DORV_SERIAL_EXCEPTION(ENotOpenedByTapi, EOpenComm)

DORV_SERIAL_EXCEPTION(ENullApi, ESerialIO)
DORV_SERIAL_EXCEPTION(ERegisterHandlerFailed, ESerialIO)
DORV_SERIAL_EXCEPTION(EPutBlockFail, ESerialIO)
DORV_SERIAL_EXCEPTION(EGetBlockFail, ESerialIO)
DORV_SERIAL_EXCEPTION(EOutputBufferTooSmall, ESerialIO)
DORV_SERIAL_EXCEPTION(EBufferIsEmpty, ESerialIO)
DORV_SERIAL_EXCEPTION(ETracingNotEnabled, ESerialIO)
DORV_SERIAL_EXCEPTION(ELoggingNotEnabled, ESerialIO)
DORV_SERIAL_EXCEPTION(EBaseAddressNotSet, ESerialIO)

DORV_SERIAL_EXCEPTION(ETriggerTooLong, ETrigger)
DORV_SERIAL_EXCEPTION(EBadTriggerHandle, ETrigger)

#undef DORV_SERIAL_EXCEPTION

// The runtime's input-output error: a system error code and its text.
class EInOutError : public ui::Exception {
 public:
  EInOutError(int errorCode, const std::string& message)
      : ui::Exception(message), ErrorCode(errorCode) {}
  int ErrorCode;
};

// The runtime's out-of-memory error.
class EOutOfMemory : public ui::Exception {
 public:
  EOutOfMemory() : ui::Exception("Out of memory") {}
};

// Returns code when it is 0 or positive, or while component is being loaded
// from its form; otherwise raises the code's exception.
int32_t CheckException(const TBaseComponent* component, int32_t code);
// Raises the exception a negative code maps to.
[[noreturn]] void RaiseSerialError(int32_t code);

// The code of an exception: its own code for the layer's exceptions, the
// negated system code for input-output errors, -8 when out of memory, else
// -9999.
int32_t XlatException(std::exception_ptr e);

// The string id of a code: its magnitude (the class does not matter).
uint32_t MapCodeToStringID(const char* className, int32_t code);

// The message of a code: the error table's text for its magnitude, else the
// system's own text for that error, on one line (at most 255 characters).
std::string LoadErrorStr(int32_t code);
inline std::string ErrorMsg(int32_t code) {
  return LoadErrorStr(code);
}
// The message as a NUL-terminated string of at most 79 bytes (buffer >= 80).
char* LoadErrorZ(char* buffer, int32_t code);

}  // namespace dorv::serial
