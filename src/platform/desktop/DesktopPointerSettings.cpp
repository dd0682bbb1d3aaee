#include "platform/desktop/DesktopPointerSettings.h"

#include <string>
#include <strings.h>

namespace velkor {
namespace {

bool SameName(std::string_view a, const char* b) {
    return a.size() == std::char_traits<char>::length(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// Desktops that keep their pointer settings where this program cannot reach them.
class NoPointerBackend final : public PointerBackend {
public:
    explicit NoPointerBackend(std::string desktop) : m_desktop(std::move(desktop)) {}

    std::string Name() const override {
        return "none: " + (m_desktop.empty() ? std::string("no desktop named") : m_desktop);
    }
    PointerResult Read(PointerSetting) override { return PointerResult::NotOffered(Reason()); }
    PointerResult Apply(PointerSetting, int) override { return PointerResult::NotOffered(Reason()); }

private:
    std::string Reason() const {
        if (m_desktop.empty()) {
            return "XDG_CURRENT_DESKTOP names no desktop; only GNOME and KDE Plasma are supported";
        }
        return "only GNOME and KDE Plasma are supported, and this desktop is " + m_desktop;
    }

    std::string m_desktop;
};

} // namespace

std::unique_ptr<PointerBackend> MakeNoPointerBackend(std::string desktop) {
    return std::make_unique<NoPointerBackend>(std::move(desktop));
}

PointerDesktop PointerDesktopOf(std::string_view currentDesktop) {
    while (!currentDesktop.empty()) {
        const size_t colon = currentDesktop.find(':');
        const std::string_view name = currentDesktop.substr(0, colon);
        if (SameName(name, "GNOME")) {
            return PointerDesktop::Gnome;
        }
        if (SameName(name, "KDE")) {
            return PointerDesktop::KdePlasma;
        }
        currentDesktop =
            colon == std::string_view::npos ? std::string_view() : currentDesktop.substr(colon + 1);
    }
    return PointerDesktop::Other;
}

DesktopPointerSettings::DesktopPointerSettings(const DesktopPointerOptions& options) {
    switch (PointerDesktopOf(options.currentDesktop)) {
    case PointerDesktop::Gnome:
        m_backend = MakeGnomePointerBackend(options.schemaFolder);
        break;
    case PointerDesktop::KdePlasma:
        m_backend = MakeKwinPointerBackend(options.busAddress, options.familyMice);
        break;
    case PointerDesktop::Other:
        m_backend = MakeNoPointerBackend(options.currentDesktop);
        break;
    }
}

DesktopPointerSettings::DesktopPointerSettings(std::unique_ptr<PointerBackend> backend)
    : m_backend(std::move(backend)) {}

DesktopPointerSettings::~DesktopPointerSettings() = default;

DesktopPointerOptions DesktopPointerSettings::OptionsFromEnvironment(const Environment& environment,
                                                                     std::vector<UsbProductId> familyMice) {
    DesktopPointerOptions options;
    options.currentDesktop = environment.Get("XDG_CURRENT_DESKTOP");
    // Where sd-bus and libdbus look for the session bus.
    options.busAddress = environment.Get("DBUS_SESSION_BUS_ADDRESS");
    if (options.busAddress.empty()) {
        const std::string runtime = environment.Get("XDG_RUNTIME_DIR");
        if (!runtime.empty()) {
            options.busAddress = "unix:path=" + runtime + "/bus";
        }
    }
    options.familyMice = std::move(familyMice);
    return options;
}

std::string DesktopPointerSettings::BackendName() const {
    return m_backend->Name();
}

PointerResult DesktopPointerSettings::Read(PointerSetting setting) {
    return m_backend->Read(setting);
}

PointerResults DesktopPointerSettings::Read() {
    PointerResults results;
    for (PointerSetting setting : kPointerSettings) {
        results[static_cast<size_t>(setting)] = m_backend->Read(setting);
    }
    return results;
}

PointerResult DesktopPointerSettings::Apply(PointerSetting setting, int value) {
    if (!InPointerRange(setting, value)) {
        const PointerSettingInfo& info = PointerSettingInfoOf(setting);
        return PointerResult::Failed(std::to_string(value) + " is outside " + std::to_string(info.minimum) +
                                     ".." + std::to_string(info.maximum) + "; the desktop's value was kept");
    }
    return m_backend->Apply(setting, value);
}

PointerResults DesktopPointerSettings::Apply(const PointerValues& values) {
    PointerResults results;
    for (PointerSetting setting : kPointerSettings) {
        results[static_cast<size_t>(setting)] = Apply(setting, values.Get(setting));
    }
    return results;
}

} // namespace velkor
