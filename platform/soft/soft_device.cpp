// Devices, drawing objects and their selection in the soft home.
#include "platform/soft/soft_objects.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include <new>

namespace platform {
namespace {

// A set of addresses in one flat array, probed linearly. Every call the toolkit makes checks
// its handles here, and every picture it copies makes and frees a device and that device's
// first bitmap: a node per entry would cost an allocation for each and a pointer chase for
// every check.
class AddressSet {
public:
    bool contains(const void* address) const {
        if (slots.empty()) return false;
        for (size_t i = home(address);; i = (i + 1) & mask()) {
            if (slots[i] == address) return true;
            if (!slots[i]) return false;
        }
    }

    // False when the set cannot grow to take the address.
    bool insert(const void* address) {
        if (contains(address)) return true;
        if (2 * (count + 1) > slots.size() && !grow()) return false;
        place(address);
        ++count;
        return true;
    }

    void erase(const void* address) {
        if (slots.empty()) return;
        size_t hole = home(address);
        while (slots[hole] != address) {
            if (!slots[hole]) return;
            hole = (hole + 1) & mask();
        }
        // Close the hole: move back every later entry of the run that may not be found past it.
        for (size_t next = (hole + 1) & mask(); slots[next]; next = (next + 1) & mask()) {
            const size_t wanted = home(slots[next]);
            const bool reachable = hole <= next ? (wanted > hole && wanted <= next)
                                                : (wanted > hole || wanted <= next);
            if (!reachable) {
                slots[hole] = slots[next];
                hole = next;
            }
        }
        slots[hole] = nullptr;
        --count;
    }

private:
    size_t mask() const { return slots.size() - 1; }
    size_t home(const void* address) const {
        const uint64_t mixed = uint64_t(uintptr_t(address)) * 0x9E3779B97F4A7C15ull;
        return size_t(mixed >> 32) & mask();
    }
    void place(const void* address) {
        size_t i = home(address);
        while (slots[i])
            i = (i + 1) & mask();
        slots[i] = address;
    }
    bool grow() {
        std::vector<const void*> previous;
        try {
            previous.assign(std::max<size_t>(64, 2 * slots.size()), nullptr);
        } catch (const std::bad_alloc&) {
            return false;
        }
        previous.swap(slots);
        for (const void* address : previous)
            if (address) place(address);
        return true;
    }

    std::vector<const void*> slots; // a power of two long, at most half full; null is empty
    size_t count = 0;
};

// Like the system's handle table: a handle that was never handed out or is already freed
// is refused instead of being followed.
struct Registry {
    std::mutex lock;
    AddressSet objects;
    AddressSet devices;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// Every object the soft home hands out is made here: a failed allocation is a null handle,
// never an exception.
template <typename T> T* newObject() {
    T* object = new (std::nothrow) T;
    if (object && !soft::registerObject(object)) {
        delete object;
        return nullptr;
    }
    return object;
}

// Stock objects live as long as the process and are never freed.
template <typename T> T& stockObject(T& object) {
    object.stock = true;
    soft::registerObject(&object);
    return object;
}

SoftPen& blackPen() {
    static SoftPen pen;
    static SoftPen& registered = stockObject(pen);
    return registered;
}

SoftPen& nullPen() {
    static SoftPen pen;
    static SoftPen& registered = []() -> SoftPen& {
        pen.style = kPenNull;
        return stockObject(pen);
    }();
    return registered;
}

SoftBrush& whiteBrush() {
    static SoftBrush brush;
    static SoftBrush& registered = []() -> SoftBrush& {
        brush.color = 0xFFFFFF;
        return stockObject(brush);
    }();
    return registered;
}

SoftFont& systemFont() {
    static SoftFont font;
    static SoftFont& registered = []() -> SoftFont& {
        font.description.height = 16;
        font.description.weight = 700;
        return stockObject(font);
    }();
    return registered;
}

void freeObject(GraphicsObject* object) {
    {
        std::lock_guard guard(registry().lock);
        registry().objects.erase(object);
    }
    delete object;
}

void release(GraphicsObject* object) {
    if (!object) return;
    --object->selections;
    if (object->selections == 0 && object->deletePending) freeObject(object);
}

void select(GraphicsObject* object) {
    ++object->selections;
}

DeviceObject* newDevice() {
    auto* device = new (std::nothrow) DeviceObject;
    if (!device) return nullptr;
    {
        std::lock_guard guard(registry().lock);
        if (!registry().devices.insert(device)) {
            delete device;
            return nullptr;
        }
    }
    device->pen = &blackPen();
    device->brush = &whiteBrush();
    device->font = &systemFont();
    select(device->pen);
    select(device->brush);
    select(device->font);
    return device;
}

DeviceObject* liveDevice(DeviceHandle device) {
    return soft::isLiveDevice(device) ? device : nullptr;
}

template <typename T> T* liveAs(ObjectHandle object, GraphicsObject::Kind kind) {
    if (!soft::isLiveObject(object) || object->kind != kind) return nullptr;
    return static_cast<T*>(object);
}

} // namespace

namespace soft {

bool registerObject(GraphicsObject* object) {
    std::lock_guard guard(registry().lock);
    return registry().objects.insert(object);
}

bool isLiveObject(const void* object) {
    if (!object) return false;
    std::lock_guard guard(registry().lock);
    return registry().objects.contains(object);
}

bool isLiveDevice(const void* device) {
    if (!device) return false;
    std::lock_guard guard(registry().lock);
    return registry().devices.contains(device);
}

bool areLiveDevices(const void* first, const void* second) {
    if (!first || !second) return false;
    std::lock_guard guard(registry().lock);
    return registry().devices.contains(first) && registry().devices.contains(second);
}

bool isLiveDeviceWithObject(const void* device, const void* object) {
    if (!device || !object) return false;
    std::lock_guard guard(registry().lock);
    return registry().devices.contains(device) && registry().objects.contains(object);
}

DeviceHandle createSurfaceDevice(SoftBitmap* surface) {
    DeviceObject* device = newDevice();
    if (device && surface) {
        device->bitmap = surface;
        surface->selectedIn = device;
        select(surface);
    }
    return device;
}

void setSystemClip(DeviceObject& device, const Box& box) {
    device.systemClipped = true;
    device.systemClip = box;
}

Box visibleBox(const DeviceObject& device) {
    Box box;
    if (!device.bitmap) return box;
    box.right = device.bitmap->width;
    box.bottom = device.bitmap->height;
    if (device.clipped) {
        box.left = std::max(box.left, device.clip.left);
        box.top = std::max(box.top, device.clip.top);
        box.right = std::min(box.right, device.clip.right);
        box.bottom = std::min(box.bottom, device.clip.bottom);
    }
    if (device.systemClipped) {
        box.left = std::max(box.left, device.systemClip.left);
        box.top = std::max(box.top, device.systemClip.top);
        box.right = std::min(box.right, device.systemClip.right);
        box.bottom = std::min(box.bottom, device.systemClip.bottom);
    }
    if (box.right < box.left) box.right = box.left;
    if (box.bottom < box.top) box.bottom = box.top;
    return box;
}

uint32_t applyRop2(uint32_t destination, uint32_t pen, int rop2) {
    // The mode less one is a truth table over (pen bit, destination bit).
    const unsigned table = unsigned(rop2 - 1) & 15u;
    uint32_t result = 0;
    if (table & 1) result |= ~pen & ~destination;
    if (table & 2) result |= ~pen & destination;
    if (table & 4) result |= pen & ~destination;
    if (table & 8) result |= pen & destination;
    return result & 0xFFFFFFu;
}

uint32_t toSurfaceColor(const SoftBitmap& bitmap, ColorRef color) {
    color &= 0xFFFFFFu;
    if (!bitmap.mono) return color;
    const unsigned sum = (color & 0xFF) + (color >> 8 & 0xFF) + (color >> 16 & 0xFF);
    return sum >= 3 * 128 ? 0xFFFFFFu : 0u;
}

} // namespace soft

DeviceHandle getScreenDevice() {
    DeviceObject* device = newDevice();
    if (!device) return nullptr;
    device->screen = true;
    return device;
}

void releaseScreenDevice(DeviceHandle device) {
    if (liveDevice(device) && device->screen) deleteDevice(device);
}

DeviceHandle createCompatibleDevice(DeviceHandle) {
    DeviceObject* device = newDevice();
    if (!device) return nullptr;
    device->defaultBitmap = soft::newBitmap(1, 1, true);
    if (!device->defaultBitmap) {
        deleteDevice(device);
        return nullptr;
    }
    device->defaultBitmap->stock = true;
    device->bitmap = device->defaultBitmap;
    device->bitmap->selectedIn = device;
    select(device->bitmap);
    return device;
}

bool deleteDevice(DeviceHandle handle) {
    DeviceObject* device = handle;
    {
        // One look at the table: a device is made and freed around every picture copied.
        std::lock_guard guard(registry().lock);
        if (!device || !registry().devices.contains(device)) return false;
        registry().devices.erase(device);
        if (device->defaultBitmap) registry().objects.erase(device->defaultBitmap);
    }
    if (device->bitmap) device->bitmap->selectedIn = nullptr;
    release(device->pen);
    release(device->brush);
    release(device->font);
    release(device->bitmap);
    delete device->defaultBitmap;
    delete device;
    return true;
}

ObjectHandle createPen(int style, int width, ColorRef color) {
    auto* pen = newObject<SoftPen>();
    if (!pen) return nullptr;
    pen->style = (style == kPenDot || style == kPenNull) ? style : kPenSolid;
    pen->width = std::max(width, 1);
    pen->color = color & 0xFFFFFFu;
    return pen;
}

ObjectHandle createSolidBrush(ColorRef color) {
    auto* brush = newObject<SoftBrush>();
    if (!brush) return nullptr;
    brush->color = color & 0xFFFFFFu;
    return brush;
}

ObjectHandle createFont(const FontDescription& description) {
    auto* font = newObject<SoftFont>();
    if (!font) return nullptr;
    font->description = description;
    font->description.faceName[sizeof font->description.faceName - 1] = 0;
    return font;
}

ObjectHandle getStockNullPen() {
    return &nullPen();
}

ObjectHandle createRectRegion(int left, int top, int right, int bottom) {
    auto* region = newObject<SoftRegion>();
    if (!region) return nullptr;
    region->box = {std::min(left, right), std::min(top, bottom), std::max(left, right),
                   std::max(top, bottom)};
    return region;
}

ObjectHandle selectObject(DeviceHandle handle, ObjectHandle object) {
    if (!soft::isLiveDeviceWithObject(handle, object)) return nullptr;
    DeviceObject* device = handle;
    GraphicsObject* previous = nullptr;
    switch (object->kind) {
    case GraphicsObject::Kind::pen:
        previous = device->pen;
        device->pen = static_cast<SoftPen*>(object);
        break;
    case GraphicsObject::Kind::brush:
        previous = device->brush;
        device->brush = static_cast<SoftBrush*>(object);
        break;
    case GraphicsObject::Kind::font:
        previous = device->font;
        device->font = static_cast<SoftFont*>(object);
        break;
    case GraphicsObject::Kind::bitmap: {
        auto* bitmap = static_cast<SoftBitmap*>(object);
        // A bitmap lives in one memory device at a time; the screen holds none.
        if (device->screen || (bitmap->selectedIn && bitmap->selectedIn != device)) return nullptr;
        previous = device->bitmap;
        if (device->bitmap) device->bitmap->selectedIn = nullptr;
        device->bitmap = bitmap;
        bitmap->selectedIn = device;
        break;
    }
    case GraphicsObject::Kind::region:
        return nullptr;
    }
    select(object);
    // The previous object stays valid for the caller, who normally selects it back.
    if (previous) {
        --previous->selections;
        if (previous->selections == 0 && previous->deletePending) {
            freeObject(previous);
            previous = nullptr;
        }
    }
    return previous;
}

ObjectHandle getCurrentObject(DeviceHandle handle, int kind) {
    DeviceObject* device = liveDevice(handle);
    if (!device) return nullptr;
    switch (kind) {
    case kObjPen:
        return device->pen;
    case kObjBrush:
        return device->brush;
    case kObjFont:
        return device->font;
    case kObjBitmap:
        return device->bitmap;
    default:
        return nullptr;
    }
}

bool deleteObject(ObjectHandle object) {
    if (!soft::isLiveObject(object) || object->stock) return false;
    if (object->deletePending) return false;
    if (object->selections > 0) {
        object->deletePending = true;
        return true;
    }
    freeObject(object);
    return true;
}

int selectClipRegion(DeviceHandle handle, ObjectHandle region) {
    DeviceObject* device = liveDevice(handle);
    if (!device) return 0;
    if (!region) {
        device->clipped = false;
        return 1;
    }
    auto* r = liveAs<SoftRegion>(region, GraphicsObject::Kind::region);
    if (!r) return 0;
    device->clipped = true;
    device->clip = r->box;
    return (r->box.left < r->box.right && r->box.top < r->box.bottom) ? 2 : 1;
}

int setBkMode(DeviceHandle handle, int mode) {
    DeviceObject* device = liveDevice(handle);
    if (!device || (mode != kBkOpaque && mode != kBkTransparent)) return 0;
    return std::exchange(device->bkMode, mode);
}

ColorRef setBkColor(DeviceHandle handle, ColorRef color) {
    DeviceObject* device = liveDevice(handle);
    if (!device) return kInvalidColor;
    return std::exchange(device->bkColor, color & 0xFFFFFFu);
}

ColorRef setTextColor(DeviceHandle handle, ColorRef color) {
    DeviceObject* device = liveDevice(handle);
    if (!device) return kInvalidColor;
    return std::exchange(device->textColor, color & 0xFFFFFFu);
}

int setRop2(DeviceHandle handle, int mode) {
    DeviceObject* device = liveDevice(handle);
    if (!device || mode < 1 || mode > 16) return 0;
    return std::exchange(device->rop2, mode);
}

} // namespace platform
