#include "platform/bus/BusValueCodec.h"

#include <climits>
#include <cstring>
#include <systemd/sd-bus.h>
#include <type_traits>
#include <unordered_set>

namespace velkor {

namespace {

// One basic integer of type T, widened (a uint64 above INT64_MAX saturates).
template <typename T> int ReadWide(sd_bus_message* m, char type, int64_t& wide) {
    T v = 0;
    const int r = sd_bus_message_read_basic(m, type, &v);
    if constexpr (std::is_same_v<T, uint64_t>) {
        wide = v > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(v);
    } else {
        wide = int64_t(v);
    }
    return r;
}

// Any D-Bus integer as int32; false when it does not fit.
bool ReadInteger(sd_bus_message* m, char type, int32_t& out) {
    int64_t wide = 0;
    int r = 0;
    switch (type) {
    case 'y':
        r = ReadWide<uint8_t>(m, type, wide);
        break;
    case 'n':
        r = ReadWide<int16_t>(m, type, wide);
        break;
    case 'q':
        r = ReadWide<uint16_t>(m, type, wide);
        break;
    case 'i':
        r = ReadWide<int32_t>(m, type, wide);
        break;
    case 'u':
        r = ReadWide<uint32_t>(m, type, wide);
        break;
    case 'x':
        r = ReadWide<int64_t>(m, type, wide);
        break;
    case 't':
        r = ReadWide<uint64_t>(m, type, wide);
        break;
    default:
        return false;
    }
    if (r <= 0 || wide < INT32_MIN || wide > INT32_MAX) {
        return false;
    }
    out = int32_t(wide);
    return true;
}

std::string TooLong(std::size_t limit, const char* what) {
    return "holds more than " + std::to_string(limit) + " " + what;
}

bool ReadVariant(sd_bus_message* m, const char* contents, const BusDictLimits& limits, BusValue& value,
                 std::string& why) {
    if (std::strlen(contents) == 1 && std::strchr("ynqiuxt", contents[0]) != nullptr) {
        int32_t number = 0;
        if (!ReadInteger(m, contents[0], number)) {
            why = "does not fit a 32-bit integer";
            return false;
        }
        value = number;
        return true;
    }
    if (std::strcmp(contents, "b") == 0) {
        int flag = 0;
        if (sd_bus_message_read_basic(m, 'b', &flag) <= 0) {
            return false;
        }
        value = flag != 0;
        return true;
    }
    if (std::strcmp(contents, "s") == 0) {
        const char* text = nullptr;
        if (sd_bus_message_read_basic(m, 's', &text) <= 0) {
            return false;
        }
        if (std::strlen(text) > limits.textBytes) {
            why = TooLong(limits.textBytes, "bytes");
            return false;
        }
        value = std::string(text);
        return true;
    }
    if (std::strcmp(contents, "as") == 0) {
        // One string at a time, so that a long list is refused at its first item too many.
        if (sd_bus_message_enter_container(m, 'a', "s") <= 0) {
            return false;
        }
        std::vector<std::string> list;
        const char* text = nullptr;
        int r = 0;
        while ((r = sd_bus_message_read_basic(m, 's', &text)) > 0) {
            if (list.size() == limits.items) {
                why = TooLong(limits.items, "items");
                return false;
            }
            if (std::strlen(text) > limits.textBytes) {
                why = "has an item of " + TooLong(limits.textBytes, "bytes");
                return false;
            }
            list.emplace_back(text);
        }
        if (r < 0 || sd_bus_message_exit_container(m) < 0) {
            return false;
        }
        value = std::move(list);
        return true;
    }
    if (std::strcmp(contents, "ai") == 0) {
        const void* data = nullptr;
        size_t size = 0;
        if (sd_bus_message_read_array(m, 'i', &data, &size) < 0) {
            return false;
        }
        if (size / sizeof(int32_t) > limits.items) {
            why = TooLong(limits.items, "items");
            return false;
        }
        const auto* first = static_cast<const int32_t*>(data);
        value = std::vector<int32_t>(first, first + size / sizeof(int32_t));
        return true;
    }
    why = std::string("has the unsupported type ") + contents;
    return false;
}

} // namespace

bool ReadBusDict(sd_bus_message* m, BusDict& dict, std::string& why, const BusDictLimits& limits) {
    dict.clear();
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) {
        why = "expected a dictionary a{sv}";
        return false;
    }
    std::unordered_set<std::string> keys; // a repeated key found in constant time
    for (;;) {
        const int r = sd_bus_message_enter_container(m, 'e', "sv");
        if (r == 0) {
            break;
        }
        if (r > 0 && dict.size() == limits.entries) {
            why = "the dictionary holds more than " + std::to_string(limits.entries) + " entries";
            return false;
        }
        const char* key = nullptr;
        char type = 0;
        const char* contents = nullptr;
        if (r < 0 || sd_bus_message_read_basic(m, 's', &key) <= 0 ||
            sd_bus_message_peek_type(m, &type, &contents) <= 0 || type != 'v' || contents == nullptr ||
            sd_bus_message_enter_container(m, 'v', contents) <= 0) {
            why = "a damaged dictionary";
            return false;
        }
        if (std::strlen(key) > limits.keyBytes) {
            why = "a key " + TooLong(limits.keyBytes, "bytes");
            return false;
        }
        BusValue value;
        std::string problem;
        if (!ReadVariant(m, contents, limits, value, problem)) {
            why = std::string(key) + " " + (problem.empty() ? "cannot be read" : problem);
            return false;
        }
        if (!keys.emplace(key).second) {
            why = std::string(key) + " is given twice";
            return false;
        }
        dict.emplace_back(key, std::move(value));
        if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) {
            why = "a damaged dictionary";
            return false;
        }
    }
    return sd_bus_message_exit_container(m) >= 0;
}

int AppendBusDict(sd_bus_message* m, const BusDict& dict) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    for (const auto& [key, value] : dict) {
        if (r < 0) {
            break;
        }
        const char* signature = BusValueSignature(value);
        r = sd_bus_message_open_container(m, 'e', "sv");
        if (r >= 0) {
            r = sd_bus_message_append_basic(m, 's', key.c_str());
        }
        if (r >= 0) {
            r = sd_bus_message_open_container(m, 'v', signature);
        }
        if (r < 0) {
            break;
        }
        if (const auto* flag = std::get_if<bool>(&value)) {
            const int b = *flag ? 1 : 0;
            r = sd_bus_message_append_basic(m, 'b', &b);
        } else if (const auto* number = std::get_if<int32_t>(&value)) {
            r = sd_bus_message_append_basic(m, 'i', number);
        } else if (const auto* text = std::get_if<std::string>(&value)) {
            r = sd_bus_message_append_basic(m, 's', text->c_str());
        } else if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
            r = sd_bus_message_open_container(m, 'a', "s");
            for (size_t i = 0; r >= 0 && i < list->size(); ++i) {
                r = sd_bus_message_append_basic(m, 's', (*list)[i].c_str());
            }
            if (r >= 0) {
                r = sd_bus_message_close_container(m);
            }
        } else if (const auto* numbers = std::get_if<std::vector<int32_t>>(&value)) {
            r = sd_bus_message_append_array(m, 'i', numbers->data(), numbers->size() * sizeof(int32_t));
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(m);
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(m);
        }
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

int AppendDeviceList(sd_bus_message* m, const std::vector<DeviceListEntry>& devices) {
    int r = sd_bus_message_open_container(m, 'a', "(ssssi)");
    for (size_t i = 0; r >= 0 && i < devices.size(); ++i) {
        const DeviceListEntry& d = devices[i];
        r = sd_bus_message_append(m, "(ssssi)", d.id.c_str(), d.kind.c_str(), d.model.c_str(),
                                  d.channel.c_str(), d.battery);
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

bool ReadDeviceList(sd_bus_message* m, std::vector<DeviceListEntry>& devices) {
    devices.clear();
    if (sd_bus_message_enter_container(m, 'a', "(ssssi)") <= 0) {
        return false;
    }
    const char* id = nullptr;
    const char* kind = nullptr;
    const char* model = nullptr;
    const char* channel = nullptr;
    int32_t battery = -1;
    int r = 0;
    while ((r = sd_bus_message_read(m, "(ssssi)", &id, &kind, &model, &channel, &battery)) > 0) {
        devices.push_back({id, kind, model, channel, battery});
    }
    return r == 0 && sd_bus_message_exit_container(m) >= 0;
}

} // namespace velkor
