#include "uLinkError.h"

#include <cerrno>

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace {

struct TzErrorTexts {
  const char* English;
  const char* Russian;
};

TzErrorTexts Texts(TzLinkError aError) {
  switch (aError) {
    case TzLinkError::None: return {"no error", "ошибки нет"};
    case TzLinkError::BadEndpoint: return {"not a port or network address", "не порт и не сетевой адрес"};
    case TzLinkError::NotFound: return {"no such device", "устройство не найдено"};
    case TzLinkError::PermissionDenied:
#ifdef _WIN32
      return {"permission denied", "нет доступа"};
#else
      return {"permission denied (add the user to the group dialout, then log in again)",
              "нет доступа (добавьте пользователя в группу dialout и войдите заново)"};
#endif
    case TzLinkError::Busy: return {"busy: another program has it open", "занят другой программой"};
    case TzLinkError::SettingRefused: return {"the device refuses the line settings", "устройство не принимает настройки линии"};
    case TzLinkError::ConnectionRefused: return {"connection refused", "соединение отклонено"};
    case TzLinkError::HostNotFound: return {"host not found", "узел не найден"};
    case TzLinkError::Unreachable: return {"no route to the host or no answer to connect", "узел недоступен или не отвечает"};
    case TzLinkError::ClosedByPeer: return {"connection closed by the peer", "соединение закрыто удалённой стороной"};
    case TzLinkError::NegotiationRefused:
      return {"the server refused the RFC 2217 port settings", "сервер отклонил настройку порта RFC 2217"};
    case TzLinkError::Other: break;
  }
  return {"cannot be opened", "не открывается"};
}

}  // namespace

std::string LinkErrorText(TzLinkError aError, const std::string& aEndpoint, TzTextLanguage aLanguage) {
  const TzErrorTexts texts = Texts(aError);
  const std::string reason = aLanguage == TzTextLanguage::Russian ? texts.Russian : texts.English;
  return aEndpoint.empty() ? reason : aEndpoint + ": " + reason;
}

TzLinkError LinkErrorFromErrno(int aErrno) {
  switch (aErrno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return TzLinkError::NotFound;
    case EACCES:
    case EPERM: return TzLinkError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK: return TzLinkError::Busy;
#ifdef _WIN32
    case WSAECONNREFUSED:
#endif
    case ECONNREFUSED: return TzLinkError::ConnectionRefused;
#ifdef _WIN32
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAETIMEDOUT:
#endif
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT: return TzLinkError::Unreachable;
#ifdef _WIN32
    case WSAECONNRESET:
#endif
    case ECONNRESET:
    case EPIPE: return TzLinkError::ClosedByPeer;
    default: return TzLinkError::Other;
  }
}
