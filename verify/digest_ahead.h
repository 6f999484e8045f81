// Digests the files of one folder ahead of the walk on the machine's other
// processors, so that one file is hashed while the next is read. The walk
// still takes the digests one at a time in its own order and reaches the
// verdicts it would reach alone: only the time changes. Each file is still
// opened, read and closed once.
//
// Worker threads start with the first batch worth sharing and end with
// Release, so none outlives a walk (a custom action's DLL may be unloaded
// right after it returns). Without workers every digest is made on the
// caller's thread when it is taken, as before.
#pragma once
#include "file_md5.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class CDigestAhead {
public:
    // workers: threads besides the caller's; 0 shares nothing.
    explicit CDigestAhead(unsigned workers);
    ~CDigestAhead();

    CDigestAhead(const CDigestAhead&) = delete;
    CDigestAhead& operator=(const CDigestAhead&) = delete;

    // The workers later batches may use; ends those running.
    void SetWorkers(unsigned workers)
    {
        Release();
        workerCount = workers;
    }
    // Whether batches are shared at all; Add is pointless otherwise.
    bool HasWorkers() const { return workerCount != 0; }
    // Drops what is left of the last batch (a file begun is finished first)
    // and starts a new one, empty, with room for size paths.
    void Clear(size_t size = 0);
    // Adds a path (shorter than MAX_PATH) to the batch; its index for Take.
    // No more than the room Clear made while the batch is launched.
    size_t Add(const char* path);
    // Hands the paths added so far to the workers, which start on the first
    // call; may be called again as more are added.
    void Launch();
    // The digest of the batch's path at index, as CFileMD5::Digest gives it,
    // waiting for a worker that has begun it, or made here if none has. The
    // text stays until the next Clear.
    const char* Take(size_t index);
    // The digest of one path outside any batch, on the caller's thread.
    const char* Digest(LPCSTR path) { return own.Digest(path); }
    // Ends the workers and gives back every provider context and buffer.
    void Release();

    // Workers worth starting on this machine for files on the folder's drive:
    // none on a CD-ROM, where a second reader only makes the drive seek.
    static unsigned WorkersFor(const char* folder);

private:
    enum State { pending, taken, done };
    struct Job {
        char path[MAX_PATH];
        State state;
        bool readable;
        char text[2 * md5DigestSize + 1];
    };

    void Work();
    void StartWorkers();
    // Waits, with lock held, until wake says so: first by watching changes
    // for a moment without the lock, since a file or a folder is usually done
    // sooner than a sleeping thread wakes, then asleep on condition.
    template <typename Wake>
    void Await(std::unique_lock<std::mutex>& guard, std::condition_variable& condition,
               const std::atomic<unsigned>& changes, Wake wake);
    // With lock held: takes the next job nobody has taken, or null.
    Job* NextFree();
    void Run(Job& job, CFileMD5& files);

    unsigned workerCount;
    CFileMD5 own;
    std::vector<std::thread> threads;
    // Guarded by lock, as are the jobs' states and texts while a batch runs:
    // how many jobs the workers may take, the next one to hand out, how many
    // are being digested, and whether the workers are to end.
    std::vector<Job> jobs;
    std::mutex lock;
    std::condition_variable work;
    std::condition_variable finished;
    size_t count = 0;
    size_t next = 0;
    size_t busy = 0;
    bool ending = false;
    // Counted up, with lock held, at every launch and every file done.
    std::atomic<unsigned> launches{0};
    std::atomic<unsigned> finishes{0};
};
