#pragma once
// What the audio capture tool makes of the sound it hears, for the program's
// copy-data (lighting/AudioToolFrames.h turns it into frames;
// lighting/AudioFrames.h reduces them on the program's side).
//
// SpectrumAnalyser takes mono float samples in -1..1 at one sample rate and,
// every hop (rate / 93.75 samples, 512 at 48 kHz), analyses the last 2048 of
// them: Hann window, real FFT (kissfft), 25 bands spaced evenly on a log scale
// from 50 Hz to 16 kHz. Each band's power is taken in dB against a full-scale
// sine and scaled to m = 750 x clamp((dB + 60) / 60, 0, 1): a full-scale tone
// in one band gives 750, -60 dBFS and below 0. The loudness is the same scale
// over the whole spectrum, as a fraction 0..1.
//
// Onsets: the long window weighs its newest samples least, so a sound that
// starts late in a hop hardly shows in that hop's analysis, and takes the
// window's length to show fully. Each hop therefore also analyses its last
// 512 samples alone (the attack window); a band (or the loudness) whose
// attack value rises by kAttackRise or more since the hop before starts an
// attack, and for that hop and the next (while the long window fills) the
// band reads the larger of its two values. Steady sound never rises, so it
// reads as the long window alone. The attack window's bins are wide (86 to
// 94 Hz), so a low onset also lights the low bands beside its own for those
// two hops: how little is known of a sound a few milliseconds old.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velkor {

inline constexpr size_t kAnalysisBands = 25;
inline constexpr size_t kAnalysisWindow = 2048;
inline constexpr size_t kAttackWindow = 512;
inline constexpr int32_t kBandFullScale = 750;
inline constexpr int32_t kAttackRise = 60; // about 5 dB
inline constexpr int kAttackHops = 2;

struct AudioAnalysis {
    std::array<int32_t, kAnalysisBands> bands{}; // 0..750 each
    float loudness = 0;                          // 0..1
};

class SpectrumAnalyser {
public:
    // `rate` in Hz, 8000..384000; anything else is refused by Create (null).
    static std::unique_ptr<SpectrumAnalyser> Create(uint32_t rate);
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    uint32_t Rate() const { return m_rate; }
    // Samples between two analyses.
    size_t Hop() const { return m_hop; }
    // The band that the frequency `hz` falls in (0..24), or -1 outside 50 Hz..16 kHz.
    static int BandOf(double hz);

    // Takes samples; for every completed hop appends one analysis to `out`.
    void Feed(std::span<const float> samples, std::vector<AudioAnalysis>& out);

private:
    // One window's FFT and band layout.
    struct Window {
        // `share`: a band narrower than a bin takes its share of the bin's
        // power (by width) rather than all of it, so that a short window's
        // wide bins do not light every low band at full.
        Window(size_t size, uint32_t rate, bool share);
        ~Window();
        Window(const Window&) = delete;
        Window& operator=(const Window&) = delete;
        // The bands and loudness (0..750) of the newest `size` samples of `history`.
        void Measure(const std::vector<float>& history, std::array<int32_t, kAnalysisBands>& bands,
                     int32_t& loudness);

        size_t size;
        void* fft = nullptr; // kiss_fftr_cfg
        std::vector<float> shape;
        std::vector<float> input;
        std::vector<float> power;    // per bin, 0..size/2
        std::vector<float> spectrum; // kiss_fft_cpx pairs
        // Per band, the bins [first, last) it sums.
        std::array<std::pair<size_t, size_t>, kAnalysisBands> bandBins{};
        std::array<double, kAnalysisBands> bandShare{};
        double reference = 1; // the power of a full-scale sine
    };

    explicit SpectrumAnalyser(uint32_t rate);
    AudioAnalysis Analyse();

    uint32_t m_rate;
    size_t m_hop;
    std::vector<float> m_history; // the last kAnalysisWindow samples, oldest first
    size_t m_sinceHop = 0;
    Window m_long;
    Window m_attack;
    // The attack window's last values (the loudness last) and each one's hops of attack left.
    std::array<int32_t, kAnalysisBands + 1> m_lastAttack{};
    std::array<int, kAnalysisBands + 1> m_attackLeft{};
};

// Band power (in the analyser's units) against `reference` as 0..750.
int32_t ScaleBandPower(double power, double reference);

} // namespace velkor
