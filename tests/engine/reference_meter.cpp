#include "reference_meter.h"

#include <cmath>

namespace {
const float kCentres[30] = {25,   31.5, 40,   50,   63,   80,   100,   125,   160,   200,
                            250,  315,  400,  500,  630,  800,  1000,  1250,  1600,  2000,
                            2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

bool usable(float rate) {
    return std::isfinite(rate) && rate >= 1000.0f && rate <= 1.0e7f;
}

float forMeasuring(float x) {
    if (std::isnan(x) || std::isinf(x)) return 0.0f;
    if (x > 1e20f) return 1e20f;
    if (x < -1e20f) return -1e20f;
    return x;
}
} // namespace

ReferenceMeter::ReferenceMeter()
    : alpha{}, beta{}, gamma{}, designRate(0), offset(0), in1{}, in2{}, out1{}, out2{}, bandOut{},
      levelAcc{}, levelAvg{}, positive{}, differ{}, antiAcc{}, antiAvg{}, hostRate(44100.0f),
      lastRate(0), levelFactor(0), antiFactor(0) {
    design(44100.0f);
}

void ReferenceMeter::setHostRate(float rate) {
    if (!usable(rate)) return;
    hostRate = rate;
    if (rate != designRate) design(rate);
}

void ReferenceMeter::design(float rate) {
    designRate = rate;
    const double r = 44100.0 / (double)rate;
    offset = 1e-9 * (r * r);
    const float pi = 3.1415927f;
    const float sectionFactor[3] = {2.0f, 1.782f, 2.244f};
    for (int k = 0; k < kBands; ++k) {
        for (int s = 0; s < 3; ++s) {
            double theta = (double)kCentres[k] * (double)pi;
            theta = theta * (double)sectionFactor[s];
            theta = theta / (double)rate;
            double t = std::tan(theta * (double)0.11547344f);
            double b = 0.5 * (1.0 - t);
            b = b / (1.0 + t);
            double g = 0.5 + b;
            g = g * std::cos(theta);
            float bStored = (float)b;
            double a = 0.5 - (double)bStored;
            a = a * 0.5;
            alpha[s][k] = (float)a;
            beta[s][k] = bStored;
            gamma[s][k] = (float)g;
        }
    }
}

float ReferenceMeter::cascade(int c, int k, float x) {
    // Section inputs: x for the centre section, then each section's output.
    float u0 = x, u2 = in2[c][k];
    float y[3];
    for (int s = 0; s < 3; ++s) {
        double acc = (double)alpha[s][k] * (double)u0;
        acc = acc - (double)alpha[s][k] * (double)u2;
        acc = acc + (double)gamma[s][k] * (double)out1[c][s][k];
        acc = acc - (double)beta[s][k] * (double)out2[c][s][k];
        y[s] = (float)(2.0 * acc + offset);
        u0 = y[s];
        u2 = out2[c][s][k];
    }
    in2[c][k] = in1[c][k];
    in1[c][k] = x;
    for (int s = 0; s < 3; ++s) {
        out2[c][s][k] = out1[c][s][k];
        out1[c][s][k] = y[s];
    }
    return y[2];
}

void ReferenceMeter::step(float left, float right) {
    const float xL = forMeasuring(left);
    const float xR = forMeasuring(right);
    const float sr = hostRate;
    if (sr != lastRate) {
        lastRate = sr;
        levelFactor = (float)(1.0 / ((double)sr * (double)0.2f));
        antiFactor = (float)(1.0 / ((double)sr * (double)0.3f));
    }
    for (int k = 0; k < kBands; ++k) {
        const float yL = cascade(0, k, xL);
        const float yR = cascade(1, k, xR);
        bandOut[0][k] = yL;
        bandOut[1][k] = yR;
        const float y[2] = {yL, yR};
        for (int c = 0; c < 2; ++c) {
            double sum = (double)levelAcc[c][k] + std::fabs(1.85 * (double)y[c]);
            sum = sum - (double)levelAvg[c][k];
            levelAcc[c][k] = (float)sum;
            levelAvg[c][k] = (float)((double)levelAcc[c][k] * (double)levelFactor);
        }
        positive[0][k] = yL > 0 ? 1.0f : 0.0f;
        positive[1][k] = yR > 0 ? 1.0f : 0.0f;
        differ[k] = positive[0][k] == positive[1][k] ? 0.0f : 1.0f;
        double anti = (double)antiAcc[k] + (double)differ[k];
        anti = anti - (double)antiAvg[k];
        antiAcc[k] = (float)anti;
        antiAvg[k] = (float)((double)antiAcc[k] * (double)antiFactor);
    }
}
