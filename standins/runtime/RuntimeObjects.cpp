#include "standins/runtime/RuntimeObjects.h"

#include <optional>
#include <utility>

#include "standins/runtime/Clock.h"

namespace standin {
namespace {

// Handles carry a table tag, a generation and a slot, so a destroyed or foreign handle is
// recognised instead of reaching a reused slot.
template <typename T, size_t N, uint64_t Tag>
class HandleTable {
public:
    uint64_t Add(T value) {
        for (size_t i = 0; i < N; ++i) {
            Slot& slot = slots_[i];
            if (!slot.value) {
                ++slot.generation;
                slot.value = std::move(value);
                return (Tag << 56) | (static_cast<uint64_t>(slot.generation) << 16) | (i + 1);
            }
        }
        return 0;
    }

    T* Find(uint64_t handle) {
        Slot* slot = SlotOf(handle);
        return slot != nullptr ? &*slot->value : nullptr;
    }

    void Remove(uint64_t handle) {
        if (Slot* slot = SlotOf(handle); slot != nullptr) {
            slot->value.reset();
        }
    }

    template <typename Predicate>
    void RemoveIf(Predicate predicate) {
        for (Slot& slot : slots_) {
            if (slot.value && predicate(*slot.value)) {
                slot.value.reset();
            }
        }
    }

    template <typename Predicate>
    bool Any(Predicate predicate) const {
        for (const Slot& slot : slots_) {
            if (slot.value && predicate(*slot.value)) {
                return true;
            }
        }
        return false;
    }

private:
    struct Slot {
        uint32_t generation = 0;
        std::optional<T> value;
    };

    Slot* SlotOf(uint64_t handle) {
        const uint64_t index = (handle & 0xffff) - 1;
        if ((handle >> 56) != Tag || index >= N) {
            return nullptr;
        }
        Slot& slot = slots_[index];
        const auto generation = static_cast<uint32_t>((handle >> 16) & 0xffffffff);
        return slot.value && slot.generation == generation ? &slot : nullptr;
    }

    std::array<Slot, N> slots_{};
};

HandleTable<Instance, 1, 1> instances;
HandleTable<Session, 1, 2> sessions;
HandleTable<Space, 64, 3> spaces;
HandleTable<Swapchain, 16, 4> swapchains;

template <typename Handle>
uint64_t Raw(Handle handle) {
    return reinterpret_cast<uint64_t>(handle);
}

template <typename Handle>
Handle Typed(uint64_t raw) {
    return reinterpret_cast<Handle>(raw);
}

}  // namespace

Instance* FindInstance(XrInstance handle) {
    return instances.Find(Raw(handle));
}
Session* FindSession(XrSession handle) {
    return sessions.Find(Raw(handle));
}
Space* FindSpace(XrSpace handle) {
    return spaces.Find(Raw(handle));
}
Swapchain* FindSwapchain(XrSwapchain handle) {
    return swapchains.Find(Raw(handle));
}

XrInstance AddInstance(Instance instance) {
    return Typed<XrInstance>(instances.Add(std::move(instance)));
}
XrSession AddSession(Session session) {
    return Typed<XrSession>(sessions.Add(session));
}
XrSpace AddSpace(Space space) {
    return Typed<XrSpace>(spaces.Add(space));
}
XrSwapchain AddSwapchain(Swapchain swapchain) {
    return Typed<XrSwapchain>(swapchains.Add(swapchain));
}

void RemoveInstance(XrInstance handle) {
    instances.Remove(Raw(handle));
}

void RemoveSession(XrSession handle) {
    spaces.RemoveIf([&](const Space& space) { return space.session == handle; });
    swapchains.RemoveIf([&](const Swapchain& swapchain) { return swapchain.session == handle; });
    if (Session* session = FindSession(handle); session != nullptr) {
        // Events of a destroyed session must not reach the application.
        if (Instance* instance = FindInstance(session->instance); instance != nullptr) {
            std::erase_if(instance->events, [&](const XrEventDataSessionStateChanged& event) {
                return event.session == handle;
            });
        }
    }
    sessions.Remove(Raw(handle));
}

void RemoveSpace(XrSpace handle) {
    spaces.Remove(Raw(handle));
}
void RemoveSwapchain(XrSwapchain handle) {
    swapchains.Remove(Raw(handle));
}

bool AnyInstance() {
    return instances.Any([](const Instance&) { return true; });
}

bool AnySessionOf(XrInstance instance) {
    return sessions.Any([&](const Session& session) { return session.instance == instance; });
}

void QueueSessionState(XrSession handle, XrSessionState state) {
    Session* session = FindSession(handle);
    Instance* instance = session != nullptr ? FindInstance(session->instance) : nullptr;
    if (instance == nullptr) {
        return;
    }
    session->queued = state;
    XrEventDataSessionStateChanged event{};
    event.type = XR_TYPE_EVENT_DATA_SESSION_STATE_CHANGED;
    event.session = handle;
    event.state = state;
    event.time = MonotonicNow();
    instance->events.push_back(event);
}

}  // namespace standin
