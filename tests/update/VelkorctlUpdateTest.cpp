// velkorctl --simulate update-check end to end, against update servers in the
// test's own process (plain http on 127.0.0.1, and https with a CA made for the
// test). The tool runs as a child process with an environment of its own.
#include "app/ChildProcess.h"
#include "support/LocalHttpServer.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <unistd.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kDeadlineMs = 30000; // a guard against hangs; nothing is timed

const std::string kMouseKey = "VELKOR_1_VK-M7070_mouse_1";
const std::string kKeyboardKey = "VELKOR_2_VK-K50B7_keyboard_3";
const std::string kProgramKey = "VELKOR_0_VELKOR01_app_4";

std::string Velkorctl() {
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools/velkorctl").string();
}

class UpdateServer {
public:
    explicit UpdateServer(LocalHttpServer& server) {
        server.Routes().Post("/api/updates", [this](const httplib::Request& request,
                                                    httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            m_forms.push_back(request.body);
            const auto found = m_answers.find(request.get_param_value("app_key"));
            response.status = found != m_answers.end() ? found->second.first : 404;
            response.set_content(found != m_answers.end() ? found->second.second : "", "application/json");
        });
    }
    void Answer(const std::string& key, int status, const std::string& body) {
        std::lock_guard lock(m_mutex);
        m_answers[key] = {status, body};
    }
    std::vector<std::string> Forms() {
        std::lock_guard lock(m_mutex);
        return m_forms;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::pair<int, std::string>> m_answers;
    std::vector<std::string> m_forms;
};

class VelkorctlUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(access(Velkorctl().c_str(), X_OK), 0) << "build the velkorctl target";
        ASSERT_TRUE(m_certs.Ok());
    }

    // Runs `velkorctl --simulate update-check ARGS`; returns the exit code.
    int Check(const std::vector<std::string>& args, std::string& out, std::string& err) {
        std::vector<std::string> argv = {Velkorctl(), "--simulate", "update-check"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess tool(m_folder.Path() + "/run" + std::to_string(++m_runs));
        EXPECT_TRUE(tool.Start(argv, {"PATH=/usr/bin:/bin", "HOME=" + m_folder.Path()}));
        const int code = tool.WaitExit(kDeadlineMs);
        out = tool.Out();
        err = tool.Err();
        return code;
    }

    ScratchFolder m_folder{"velkor_ctl_update_"};
    TestCertificates m_certs{m_folder.Path()};
    int m_runs = 0;
};

TEST_F(VelkorctlUpdateTest, AnswersOverHttpAndHttpsAndTheRefusals) {
    LocalHttpServer plain;
    LocalHttpServer secure(m_certs.serverCert, m_certs.serverKey);
    LocalHttpServer selfSigned(m_certs.selfCert, m_certs.selfKey);
    UpdateServer answers(plain);
    UpdateServer secureAnswers(secure);
    UpdateServer unseen(selfSigned);
    ASSERT_TRUE(plain.Start() && secure.Start() && selfSigned.Start());
    for (UpdateServer* server : {&answers, &secureAnswers, &unseen}) {
        server->Answer(kMouseKey, 200, R"({"version":"211","path":"https://127.0.0.1/x"})");
        server->Answer(kKeyboardKey, 200, R"({"version":"104"})");
        server->Answer(kProgramKey, 200, R"({"version":"10","version_name":"0.1.0"})");
    }
    std::string out;
    std::string err;
    EXPECT_EQ(Check({"--server", plain.Url("/api/")}, out, err), 0) << err;
    EXPECT_EQ(out, "MS V0210 V211 1\nR31 V0104 - 7\nAP V10 - 7\n");
    EXPECT_EQ(answers.Forms(), (std::vector<std::string>{"app_key=" + kMouseKey + "&version=210",
                                                         "app_key=" + kKeyboardKey + "&version=104",
                                                         "app_key=" + kProgramKey + "&version=10"}));

    EXPECT_EQ(Check({"--server", secure.Url("/api/"), "--ca", m_certs.caFile}, out, err), 0) << err;
    EXPECT_EQ(out, "MS V0210 V211 1\nR31 V0104 - 7\nAP V10 - 7\n");

    // An error page and an answer one byte longer than the buffer.
    answers.Answer(kMouseKey, 500, R"({"version":"211"})");
    answers.Answer(kKeyboardKey, 200, R"({"version":"105","pad":")" + std::string(102400, 'x') + "\"}");
    EXPECT_EQ(Check({"--server", plain.Url("/api/")}, out, err), 4);
    EXPECT_EQ(out, "MS V0210 - 7 failed\nR31 V0104 - 7 failed\nAP V10 - 7\n");
    EXPECT_NE(err.find("status 500"), std::string::npos) << err;
    EXPECT_NE(err.find("longer than allowed"), std::string::npos) << err;

    // A self-signed server is not trusted without its certificate.
    EXPECT_EQ(Check({"--server", selfSigned.Url("/api/")}, out, err), 4);
    EXPECT_EQ(out, "MS V0210 - 7 failed\nR31 V0104 - 7 failed\nAP V0.1.0 - 7 failed\n");
    EXPECT_NE(err.find("NO_LINK_SERVER"), std::string::npos) << err;
    EXPECT_TRUE(unseen.Forms().empty());
}

TEST_F(VelkorctlUpdateTest, NothingIsContactedWithoutAConfiguredServer) {
    std::string out;
    std::string err;
    EXPECT_EQ(Check({}, out, err), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("no update server is configured"), std::string::npos) << err;
    EXPECT_EQ(Check({"--server", "http://update.example/api/"}, out, err), 2);
    EXPECT_NE(err.find("plain http is refused"), std::string::npos) << err;
}

} // namespace
} // namespace velkor::test
