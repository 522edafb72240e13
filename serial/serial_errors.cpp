#include "serial/serial_errors.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/comm_device.h"
#include "serial/serial_misc.h"
#include "serial/string_table.h"

namespace dorv::serial {

namespace {

// The error table, opened on first use and kept for the rest of the run.
const TStringResource& ErrorTable() {
  static const TStringResource table(TResourceFinder{}, "SERIAL_ERROR_STRINGS_ENGLISH");
  return table;
}

uint32_t Magnitude(int32_t code) {
  return code < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(code))
                  : static_cast<uint32_t>(code);
}

// Control characters become blanks, and runs of blanks one blank.
std::string OneLine(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

template <class E>
[[noreturn]] void Raise(int32_t code) {
  throw E(code);
}

}  // namespace

ESerialException::ESerialException(int32_t code) : ui::Exception(LoadErrorStr(code)), code_(code) {}

ESerialException::ESerialException(const std::string& text) : ui::Exception(text), code_(0) {}

ESerialException::ESerialException(int32_t code, const std::string& text)
    : ui::Exception(text), code_(code) {}

std::string LoadErrorStr(int32_t code) {
  uint32_t id = Magnitude(code);
  std::string s = CutUtf8(ErrorTable().GetString(id), 255);
  if (s.empty()) s = CutUtf8(OneLine(platform::SystemErrorText(static_cast<int>(id))), 255);
  return s;
}

char* LoadErrorZ(char* buffer, int32_t code) {
  std::string s = CutUtf8(LoadErrorStr(code), 79);
  std::memcpy(buffer, s.data(), s.size());
  buffer[s.size()] = '\0';
  return buffer;
}

uint32_t MapCodeToStringID(const char*, int32_t code) {
  return Magnitude(code);
}

void RaiseSerialError(int32_t code) {
  switch (code) {
    case ecBadArgument:
      Raise<EBadArgument>(code);
    case ecGotQuitMsg:
      Raise<EGotQuitMsg>(code);
    case ecBufferTooBig:
      Raise<EBufferTooBig>(code);
    case ecPortNotAssigned:
      Raise<EPortNotAssigned>(code);
    case ecInternal:
    case -7003:
    case -7006:
    case -7012:
      Raise<EInternal>(code);
    case ecModemNotAssigned:
      Raise<EModemNotAssigned>(code);
    case ecPhonebookNotAssigned:
      Raise<EPhonebookNotAssigned>(code);
    case ecCannotUseWithWinSock:
      Raise<ECannotUseWithWinSock>(code);
    case ecBadId:
      Raise<EBadId>(code);
    case ecBaudRate:
      Raise<EBaudRate>(code);
    case ecByteSize:
      Raise<EByteSize>(code);
    case ecDefault:
      Raise<EDefault>(code);
    case ecHardware:
      Raise<EHardware>(code);
    case ecMemory:
      Raise<EMemory>(code);
    case ecCommNotOpen:
      Raise<ECommNotOpen>(code);
    case ecAlreadyOpen:
      Raise<EAlreadyOpen>(code);
    case ecNoHandles:
      Raise<ENoHandles>(code);
    case ecNoTimers:
      Raise<ENoTimers>(code);
    case ecNoPortSelected:
      Raise<ENoPortSelected>(code);
    case ecNotOpenedByTapi:
      Raise<ENotOpenedByTapi>(code);
    case ecNullApi:
      Raise<ENullApi>(code);
    case ecRegisterHandlerFailed:
      Raise<ERegisterHandlerFailed>(code);
    case ecPutBlockFail:
      Raise<EPutBlockFail>(code);
    case ecGetBlockFail:
      Raise<EGetBlockFail>(code);
    case ecOutputBufferTooSmall:
      Raise<EOutputBufferTooSmall>(code);
    case ecBufferIsEmpty:
      Raise<EBufferIsEmpty>(code);
    case ecTracingNotEnabled:
      Raise<ETracingNotEnabled>(code);
    case ecLoggingNotEnabled:
      Raise<ELoggingNotEnabled>(code);
    case ecBaseAddressNotSet:
      Raise<EBaseAddressNotSet>(code);
    case ecTriggerTooLong:
      Raise<ETriggerTooLong>(code);
    case ecBadTriggerHandle:
      Raise<EBadTriggerHandle>(code);
    case -6006:
    case -6008:
    case -6009:
      Raise<EProtocol>(code);
    case -13980:
      Raise<ERas>(code);
    default:
      break;
  }
  if (code <= -4001 && code >= -4008) Raise<EModem>(code);
  if (code <= -7001 && code >= -7014 && code != -7009) Raise<EINI>(code);
  if (code <= -8001 && code >= -8070) Raise<EFax>(code);
  if (code <= -13801 && code >= -13942) Raise<ETapi>(code);
  if (code == ecOutOfMemory) throw EOutOfMemory();
  if (code <= -2 && code >= -162) {
    int e = static_cast<int>(Magnitude(code));
    throw EInOutError(e, LoadErrorStr(code));
  }
  throw ESerialException(std::string("Serial layer exception"));
}

int32_t CheckException(const TBaseComponent* component, int32_t code) {
  if (code >= 0 || (component && component->Loading())) return code;
  RaiseSerialError(code);
}

int32_t XlatException(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const ESerialException& x) {
    return x.ErrorCode();
  } catch (const EInOutError& x) {
    return -x.ErrorCode;
  } catch (const EOutOfMemory&) {
    return ecOutOfMemory;
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  } catch (...) {
    return -9999;
  }
}

}  // namespace dorv::serial
