#pragma once
// The per-sample metering loop written out plainly, one statement per step of the
// arithmetic, as the yardstick every engine version must match to the bit. It shares no code
// with the engine.

class ReferenceMeter {
public:
    static constexpr int kBands = 30;

    // Designs the bank for 44100 Hz; the host rate starts at 44100 Hz as well.
    ReferenceMeter();

    // What the engine does when the host sets a rate: a usable rate becomes the host rate and
    // the bank is designed for it at once (the engine swaps the new set in at the next block,
    // so callers change the rate only between blocks).
    void setHostRate(float rate);

    // One stereo sample.
    void step(float left, float right);

    // Design coefficients per section (centre, lower edge, upper edge) and band.
    float alpha[3][kBands];
    float beta[3][kBands];
    float gamma[3][kBands];
    float designRate;
    // Added by every section each sample: 1e-9 at 44100 Hz, scaled by (44100 / rate)^2.
    double offset;

    // Histories per channel and band.
    float in1[2][kBands], in2[2][kBands];
    float out1[2][3][kBands], out2[2][3][kBands];
    float bandOut[2][kBands];

    float levelAcc[2][kBands], levelAvg[2][kBands];
    float positive[2][kBands], differ[kBands];
    float antiAcc[kBands], antiAvg[kBands];

    float hostRate;
    float lastRate;
    float levelFactor;
    float antiFactor;

private:
    void design(float rate);
    float cascade(int channel, int band, float x);
};
