// The pool: a shared next-item counter, one slot per item, and a condition
// variable the workers signal when a slot fills.
#include "ordered_pool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tool {

namespace {

// A task that throws (memory exhausted, most likely) fails its file only.
FileResult Guarded(const std::function<FileResult(size_t)> &compute, size_t index) {
    try {
        return compute(index);
    } catch (const std::exception &e) {
        FileResult result;
        result.failures.push_back({std::string("internal error: ") + e.what(), 0, "internal error"});
        return result;
    }
}

struct Shared {
    std::mutex mutex;
    std::condition_variable filled;
    std::vector<std::unique_ptr<FileResult>> slots;
    std::atomic<size_t> next{0};
};

void Work(Shared &shared, size_t count, const std::function<FileResult(size_t)> &compute) {
    for (;;) {
        const size_t index = shared.next.fetch_add(1);
        if (index >= count) return;
        auto result = std::make_unique<FileResult>(Guarded(compute, index));
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.slots[index] = std::move(result);
        }
        shared.filled.notify_one();
    }
}

} // namespace

void RunOrdered(size_t count, unsigned workers, const std::function<FileResult(size_t)> &compute,
                const std::function<void(size_t, FileResult &)> &deliver, const std::function<void()> &tick) {
    if (workers <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            FileResult result = Guarded(compute, i);
            deliver(i, result);
            tick();
        }
        return;
    }
    Shared shared;
    shared.slots.resize(count);
    std::vector<std::thread> threads;
    const size_t n = workers < count ? workers : count;
    for (size_t i = 0; i < n; ++i) threads.emplace_back(Work, std::ref(shared), count, std::cref(compute));

    for (size_t i = 0; i < count; ++i) {
        std::unique_ptr<FileResult> result;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            while (!shared.slots[i]) {
                shared.filled.wait_for(lock, std::chrono::milliseconds(100));
                if (shared.slots[i]) break;
                lock.unlock();
                tick();
                lock.lock();
            }
            result = std::move(shared.slots[i]);
        }
        deliver(i, *result);
        tick();
    }
    for (std::thread &thread : threads) thread.join();
}

} // namespace tool
