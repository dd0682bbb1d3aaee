#pragma once
// What the Linux audio plugin's tests run on, all started by the test:
//   - TestHome: a scratch home for the whole test process (HOME,
//     XDG_STATE_HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR point into it) whose
//     ~/.asoundrc makes "velkor_sidetone" and "velkor_plain" control devices
//     of the test card (TestCardControl.c), with and without side-tone;
//   - SoundServer: pipewire and wireplumber under dbus-run-session in that
//     home, with a null sink that carries the headset's vendor and product;
//   - tones written and recorded as WAV files through pw-cat.
#include <array>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velkor::test {

// The test card's values: Mic volume, Mic switch, Sidetone volume, Sidetone switch.
using CardValues = std::array<long, 4>;

class TestHome {
public:
    // The process's home, created (and the environment set) at the first call.
    static TestHome& Get();
    ~TestHome();
    const std::string& Path() const { return m_path; }
    std::string StateFile() const { return m_path + "/state/VELKOR01/headset-audio.json"; }
    CardValues Card(bool sidetone) const;
    void SetCard(bool sidetone, const CardValues& values) const;

private:
    TestHome();
    std::string m_path;
};

// The first of `names` that is not on PATH; empty when all are.
std::string MissingProgram(const std::vector<std::string>& names);

class SoundServer {
public:
    static constexpr const char* kHeadsetSink = "velkor_test_headset";

    SoundServer() = default;
    // Ends every process it started and waits for them.
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Starts the server and waits until the session manager made the null
    // sink the default; false with the reason (and the server's log).
    bool Start(std::string& error);

private:
    pid_t m_group = -1;
};

// A program run in its own process group (pw-cat); ended with SIGINT.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // Waits for the end (at most `ms`); true when it ended with status 0.
    bool Wait(int ms);
    void Interrupt();

private:
    pid_t m_pid = -1;
};

// Runs a program to its end and returns its standard output.
std::string Capture(const std::vector<std::string>& argv);

// A sine of `hz` at `amplitude` (0..1) as 48 kHz mono 16-bit WAV.
bool WriteTone(const std::string& path, double hz, double amplitude, double seconds);
// The samples of a WAV file pw-cat recorded (16-bit or float, first channel), and its rate.
std::vector<double> ReadWav(const std::string& path, int& rate);
// The amplitude of `hz` in the strongest of the 50 ms windows.
double PeakAmplitude(const std::vector<double>& samples, int rate, double hz);
// The strongest frequency between `low` and `high` Hz (1 Hz steps) over the last second.
double DominantFrequency(const std::vector<double>& samples, int rate, double low, double high);

} // namespace velkor::test
