#pragma once
// Shared by the macro tests: a scratch user data folder, the macro panel built
// from the program's own layout with the in-memory toolkit, and small file helpers.
#include "macros/CMacroControlUI.h"
#include "platform/JsonFileHelper.h"
#include "support/ScratchFolder.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>
#include <json/value.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

namespace velkor::test {

// skin/ of the source tree (this file lives in tests/macros/).
inline std::string SkinFolder() {
    const std::filesystem::path here = std::filesystem::path(__FILE__).lexically_normal();
    return (here.parent_path().parent_path().parent_path() / "skin").string();
}

// A scratch folder; Path() ends in '/' as the macro panel's folder does.
class TempFolder {
public:
    std::string Path() const { return m_folder.Path() + "/"; }
    std::string File(const std::string& name) const { return m_folder.Path() + "/" + name; }

private:
    ScratchFolder m_folder{"velkor_macros_"};
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteBytes(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline Json::Value ParseText(const std::string& text) {
    Json::Value value;
    CJsonFileHelper().ParseJson(text, value);
    return value;
}

inline Json::Value ReadJson(const std::string& path) {
    return CJsonFileHelper().ReadJsonFile(path);
}

inline void WriteJson(const std::string& path, const Json::Value& value) {
    ASSERT_TRUE(CJsonFileHelper().WriteJsonFile(value, path)) << path;
}

// An event object as the files hold it.
inline Json::Value Event(const char* action, int type, int button, const char* delay) {
    Json::Value event;
    event["Action"] = action;
    event["Type"] = type;
    event["Button"] = button;
    event["Delay"] = delay;
    return event;
}

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CMacroControlUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

// The macro panel in a window of its own, its library in a temporary folder.
class MacroPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        ui::WindowOptions options;
        options.layout = std::string(CMacroControlUI::kLayout);
        options.className = "MacroTest";
        options.creator = &m_creator;
        m_window = m_toolkit->CreateWindow(options, &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_window->Show();
        m_panel = std::make_unique<CMacroControlUI>(m_window->Root());
        m_panel->SetMacroFolder(m_folder.Path());
    }

    ui::Control& Part(std::string_view name) { return *m_window->FindControl(name); }
    std::string IndexPath() const { return m_folder.File("macro.config"); }
    std::string MacFile(const std::string& guid) const { return m_folder.File(guid + ".mac"); }
    // Writes an index with these names (Guids "g0", "g1", ...) and loads it.
    void MakeLibrary(const std::vector<std::string>& names) {
        Json::Value index;
        index["MacroInfo"] = Json::Value(Json::arrayValue);
        for (size_t i = 0; i < names.size(); ++i) {
            Json::Value entry;
            entry["MacroName"] = names[i];
            entry["Guid"] = "g" + std::to_string(i);
            index["MacroInfo"].append(entry);
        }
        WriteJson(IndexPath(), index);
        m_panel->LoadMacroList();
    }
    void WriteMacro(const std::string& guid, const Json::Value& events) {
        Json::Value document;
        document["MacroName"] = guid;
        document["Guid"] = guid;
        document["Events"] = events;
        document["Version"] = 64;
        WriteJson(MacFile(guid), document);
    }
    void Select(int row) {
        ui::test::ListOf(Part("macro_name_list")).SelectItem(row, false);
        m_panel->SelectMacro();
    }

    TempFolder m_folder;
    ui::ManualClock m_clock;
    PanelCreator m_creator;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<CMacroControlUI> m_panel;
};

} // namespace velkor::test
