#pragma once
// A white memory surface with a drawing context on it, for the drawing tests.
#include <cstdint>
#include <memory>

#include "platform/draw.h"
#include "toolkit/draw_context.h"

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        platform::DeviceHandle screen = platform::getScreenDevice();
        device_ = platform::createCompatibleDevice(screen);
        surface_ = platform::createCompatibleBitmap(screen, width, height);
        platform::releaseScreenDevice(screen);
        prior_ = platform::selectObject(device_, surface_);
        clear(0xFFFFFF);
        context_ = std::make_unique<DrawContext>(nullptr, device_, nullptr);
    }
    ~Canvas() {
        context_.reset();
        platform::selectObject(device_, prior_);
        platform::deleteDevice(device_);
        platform::deleteObject(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    DrawContext& context() { return *context_; }
    platform::DeviceHandle device() const { return device_; }
    platform::ColorRef at(int x, int y) const { return platform::getPixel(device_, x, y); }
    void clear(platform::ColorRef color) {
        platform::ObjectHandle brush = platform::createSolidBrush(color);
        platform::fillRect(device_, platform::Box{0, 0, width_, height_}, brush);
        platform::deleteObject(brush);
    }
    // Pixels that differ from the given colour.
    int countNot(platform::ColorRef color) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                n += at(x, y) != color;
        return n;
    }
    bool samePixels(const Canvas& other) const {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (at(x, y) != other.at(x, y)) return false;
        return true;
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_;
    int height_;
    platform::DeviceHandle device_ = nullptr;
    platform::ObjectHandle surface_ = nullptr;
    platform::ObjectHandle prior_ = nullptr;
    std::unique_ptr<DrawContext> context_;
};
