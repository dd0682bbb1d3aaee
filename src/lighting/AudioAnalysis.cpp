#include "lighting/AudioAnalysis.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velkor {
namespace {

constexpr double kLowestHz = 50;
constexpr double kHighestHz = 16000;
constexpr double kHopsPerSecond = 93.75;
constexpr double kFloorDb = -60;

double BandEdge(size_t g) {
    return kLowestHz * std::pow(kHighestHz / kLowestHz, double(g) / double(kAnalysisBands));
}

} // namespace

int32_t ScaleBandPower(double power, double reference) {
    if (!(power > 0) || !(reference > 0)) {
        return 0;
    }
    const double db = 10 * std::log10(power / reference);
    const double fraction = std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0);
    return int32_t(std::lround(kBandFullScale * fraction));
}

int SpectrumAnalyser::BandOf(double hz) {
    if (!(hz >= kLowestHz) || !(hz < kHighestHz)) {
        return -1;
    }
    const double position = std::log(hz / kLowestHz) / std::log(kHighestHz / kLowestHz);
    return std::clamp(int(position * kAnalysisBands), 0, int(kAnalysisBands) - 1);
}

std::unique_ptr<SpectrumAnalyser> SpectrumAnalyser::Create(uint32_t rate) {
    if (rate < 8000 || rate > 384000) {
        return nullptr;
    }
    std::unique_ptr<SpectrumAnalyser> analyser(new SpectrumAnalyser(rate));
    if (analyser->m_fft == nullptr) {
        return nullptr;
    }
    return analyser;
}

SpectrumAnalyser::SpectrumAnalyser(uint32_t rate)
    : m_rate(rate), m_hop(size_t(std::lround(rate / kHopsPerSecond))), m_history(kAnalysisWindow, 0.0f),
      m_window(kAnalysisWindow), m_input(kAnalysisWindow), m_power(kAnalysisWindow / 2 + 1) {
    m_fft = kiss_fftr_alloc(int(kAnalysisWindow), 0, nullptr, nullptr);
    double squares = 0;
    for (size_t n = 0; n < kAnalysisWindow; ++n) {
        m_window[n] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(n) / double(kAnalysisWindow)));
        squares += double(m_window[n]) * m_window[n];
    }
    // A full-scale sine puts N x sum(w^2) / 4 into the bins of the positive half.
    m_reference = double(kAnalysisWindow) * squares / 4;
    const double binHz = double(rate) / double(kAnalysisWindow);
    const size_t lastBin = kAnalysisWindow / 2;
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        const size_t first = std::min(size_t(std::ceil(BandEdge(g) / binHz)), lastBin + 1);
        const size_t last = std::min(size_t(std::ceil(BandEdge(g + 1) / binHz)), lastBin + 1);
        if (last > first) {
            m_bandBins[g] = {first, last};
        } else {
            // Narrower than a bin (the lowest bands): the bin nearest the band's centre.
            const double centre = std::sqrt(BandEdge(g) * BandEdge(g + 1));
            const size_t bin = std::min(size_t(std::lround(centre / binHz)), lastBin);
            m_bandBins[g] = {bin, bin + 1};
        }
    }
}

SpectrumAnalyser::~SpectrumAnalyser() {
    kiss_fftr_free(m_fft);
}

void SpectrumAnalyser::Feed(std::span<const float> samples, std::vector<AudioAnalysis>& out) {
    while (!samples.empty()) {
        const size_t take = std::min(samples.size(), m_hop - m_sinceHop);
        // Shift the history and append; the window is small enough for a plain move.
        std::move(m_history.begin() + take, m_history.end(), m_history.begin());
        for (size_t i = 0; i < take; ++i) {
            const float s = samples[i];
            m_history[kAnalysisWindow - take + i] = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
        }
        samples = samples.subspan(take);
        m_sinceHop += take;
        if (m_sinceHop == m_hop) {
            m_sinceHop = 0;
            out.push_back(Analyse());
        }
    }
}

AudioAnalysis SpectrumAnalyser::Analyse() {
    for (size_t n = 0; n < kAnalysisWindow; ++n) {
        m_input[n] = m_history[n] * m_window[n];
    }
    std::vector<kiss_fft_cpx> spectrum(kAnalysisWindow / 2 + 1);
    kiss_fftr(static_cast<kiss_fftr_cfg>(m_fft), m_input.data(), spectrum.data());
    double total = 0;
    for (size_t k = 0; k < spectrum.size(); ++k) {
        m_power[k] = spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;
        if (k > 0) {
            total += m_power[k];
        }
    }
    AudioAnalysis analysis;
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        double power = 0;
        for (size_t k = m_bandBins[g].first; k < m_bandBins[g].second; ++k) {
            power += m_power[k];
        }
        analysis.bands[g] = ScaleBandPower(power, m_reference);
    }
    analysis.loudness = float(ScaleBandPower(total, m_reference)) / float(kBandFullScale);
    return analysis;
}

std::array<int32_t, 500> BuildAudioFrame(const std::array<int32_t, kAnalysisBands>& bands, uint64_t t) {
    std::array<int32_t, 500> frame{};
    const int32_t sign = (t % 2 == 0) ? 1 : -1;
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        const int32_t m = std::clamp(bands[g], 0, kBandFullScale) * sign;
        for (size_t i = 0; i < 5; ++i) {
            frame[5 * g + i] = m;
        }
    }
    return frame;
}

} // namespace velkor
