#pragma once
// What the audio capture tool makes of the sound it hears, for the program's
// copy-data (lighting/AudioFrames.h reduces it on the program's side).
//
// SpectrumAnalyser takes mono float samples in -1..1 at one sample rate and,
// every hop (rate / 93.75 samples, 512 at 48 kHz), analyses the last 2048 of
// them: Hann window, real FFT (kissfft), 25 bands spaced evenly on a log scale
// from 50 Hz to 16 kHz. Each band's power is taken in dB against a full-scale
// sine and scaled to m = 750 x clamp((dB + 60) / 60, 0, 1): a full-scale tone
// in one band gives 750, -60 dBFS and below 0. The loudness is the same scale
// over the whole spectrum, as a fraction 0..1.
//
// BuildAudioFrame turns the 25 values into the program's frame t: values
// 5g..5g+4 carry (-1)^t x m of band g, the rest 0. The program's differences
// then settle at 8m/3, so a steady tone reads as a steady bar, full scale as
// 2000, and nothing above 2000.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velkor {

inline constexpr size_t kAnalysisBands = 25;
inline constexpr size_t kAnalysisWindow = 2048;
inline constexpr int32_t kBandFullScale = 750;

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
    explicit SpectrumAnalyser(uint32_t rate);
    AudioAnalysis Analyse();

    uint32_t m_rate;
    size_t m_hop;
    void* m_fft = nullptr;        // kiss_fftr_cfg
    std::vector<float> m_history; // the last kAnalysisWindow samples, oldest first
    size_t m_sinceHop = 0;
    std::vector<float> m_window;
    std::vector<float> m_input;
    std::vector<float> m_power; // per bin, 0..N/2
    // Per band, the bins [first, last) it sums.
    std::array<std::pair<size_t, size_t>, kAnalysisBands> m_bandBins{};
    double m_reference = 1; // the power of a full-scale sine
};

// Band power (in the analyser's units) against `reference` as 0..750.
int32_t ScaleBandPower(double power, double reference);

// Frame `t` of the program's copy-data id 1 for these band values.
std::array<int32_t, 500> BuildAudioFrame(const std::array<int32_t, kAnalysisBands>& bands, uint64_t t);

} // namespace velkor
