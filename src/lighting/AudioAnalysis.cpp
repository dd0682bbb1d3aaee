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
    if (analyser->m_long.fft == nullptr || analyser->m_attack.fft == nullptr) {
        return nullptr;
    }
    return analyser;
}

SpectrumAnalyser::Window::Window(size_t windowSize, uint32_t rate, bool share)
    : size(windowSize), shape(windowSize), input(windowSize), power(windowSize / 2 + 1),
      spectrum(2 * (windowSize / 2 + 1)) {
    fft = kiss_fftr_alloc(int(size), 0, nullptr, nullptr);
    double squares = 0;
    for (size_t n = 0; n < size; ++n) {
        shape[n] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(n) / double(size)));
        squares += double(shape[n]) * shape[n];
    }
    // A full-scale sine puts N x sum(w^2) / 4 into the bins of the positive half.
    reference = double(size) * squares / 4;
    const double binHz = double(rate) / double(size);
    const size_t lastBin = size / 2;
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        const size_t first = std::min(size_t(std::ceil(BandEdge(g) / binHz)), lastBin + 1);
        const size_t last = std::min(size_t(std::ceil(BandEdge(g + 1) / binHz)), lastBin + 1);
        bandShare[g] = 1;
        if (last > first) {
            bandBins[g] = {first, last};
        } else {
            if (share) {
                bandShare[g] = (BandEdge(g + 1) - BandEdge(g)) / binHz;
            }
            // Narrower than a bin (the lowest bands): the bin nearest the band's centre.
            const double centre = std::sqrt(BandEdge(g) * BandEdge(g + 1));
            const size_t bin = std::min(size_t(std::lround(centre / binHz)), lastBin);
            bandBins[g] = {bin, bin + 1};
        }
    }
}

SpectrumAnalyser::Window::~Window() {
    kiss_fftr_free(fft);
}

void SpectrumAnalyser::Window::Measure(const std::vector<float>& history,
                                       std::array<int32_t, kAnalysisBands>& bands, int32_t& loudness) {
    static_assert(sizeof(kiss_fft_cpx) == 2 * sizeof(float));
    const float* newest = history.data() + (history.size() - size);
    for (size_t n = 0; n < size; ++n) {
        input[n] = newest[n] * shape[n];
    }
    auto* bins = reinterpret_cast<kiss_fft_cpx*>(spectrum.data());
    kiss_fftr(static_cast<kiss_fftr_cfg>(fft), input.data(), bins);
    double total = 0;
    for (size_t k = 0; k < power.size(); ++k) {
        power[k] = bins[k].r * bins[k].r + bins[k].i * bins[k].i;
        if (k > 0) {
            total += power[k];
        }
    }
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        double sum = 0;
        for (size_t k = bandBins[g].first; k < bandBins[g].second; ++k) {
            sum += power[k];
        }
        bands[g] = ScaleBandPower(sum * bandShare[g], reference);
    }
    loudness = ScaleBandPower(total, reference);
}

SpectrumAnalyser::SpectrumAnalyser(uint32_t rate)
    : m_rate(rate), m_hop(size_t(std::lround(rate / kHopsPerSecond))), m_history(kAnalysisWindow, 0.0f),
      m_long(kAnalysisWindow, rate, false), m_attack(kAttackWindow, rate, true) {}

SpectrumAnalyser::~SpectrumAnalyser() = default;

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
    std::array<int32_t, kAnalysisBands + 1> steady{};
    std::array<int32_t, kAnalysisBands + 1> attack{};
    std::array<int32_t, kAnalysisBands> bands{};
    m_long.Measure(m_history, bands, steady[kAnalysisBands]);
    std::copy(bands.begin(), bands.end(), steady.begin());
    m_attack.Measure(m_history, bands, attack[kAnalysisBands]);
    std::copy(bands.begin(), bands.end(), attack.begin());
    std::array<int32_t, kAnalysisBands + 1> value{};
    for (size_t g = 0; g < value.size(); ++g) {
        if (attack[g] >= m_lastAttack[g] + kAttackRise) {
            m_attackLeft[g] = kAttackHops;
        }
        m_lastAttack[g] = attack[g];
        value[g] = steady[g];
        if (m_attackLeft[g] > 0) {
            --m_attackLeft[g];
            value[g] = std::max(steady[g], attack[g]);
        }
    }
    AudioAnalysis analysis;
    std::copy(value.begin(), value.begin() + kAnalysisBands, analysis.bands.begin());
    analysis.loudness = float(value[kAnalysisBands]) / float(kBandFullScale);
    return analysis;
}

} // namespace velkor
