#include "platform/bus/MessageBus.h"

namespace velkor {

const char* BusSendStatusName(BusSendStatus status) {
    switch (status) {
    case BusSendStatus::Delivered:
        return "delivered";
    case BusSendStatus::NoInstance:
        return "no running instance";
    case BusSendStatus::Refused:
        return "refused";
    case BusSendStatus::NoBus:
        return "no bus";
    case BusSendStatus::Failed:
        return "failed";
    case BusSendStatus::Busy:
        return "busy";
    }
    return "unknown";
}

} // namespace velkor
