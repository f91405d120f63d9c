// Ownership of one GObject reference (Aravis cameras, streams, buffers).
#ifndef VYKSIM_GOBJECT_REF_H
#define VYKSIM_GOBJECT_REF_H

#include <glib-object.h>

#include <utility>

// The Aravis types, declared as Aravis declares them, so that this header needs no Aravis header.
typedef struct _ArvCamera ArvCamera;
typedef struct _ArvStream ArvStream;
typedef struct _ArvBuffer ArvBuffer;

namespace vyksim {

// Holds one reference and drops it on destruction; movable, not copyable.
template <typename T>
class GObjectRef {
public:
    GObjectRef() = default;
    // Takes over a reference the caller owns (may be null).
    explicit GObjectRef(T* owned) : object_(owned) {}
    ~GObjectRef() { reset(); }
    GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectRef& operator=(GObjectRef&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Gives the reference up to the caller, who must drop it; null afterwards.
    T* release() { return std::exchange(object_, nullptr); }
    // Drops the reference held, if any.
    void reset()
    {
        if (object_ != nullptr)
            g_object_unref(std::exchange(object_, nullptr));
    }

private:
    T* object_ = nullptr;
};

} // namespace vyksim

#endif // VYKSIM_GOBJECT_REF_H
