"""Where the runs go. ``Local``: a pool of threads on this machine, one per
core unless told, each waiting on its own ``velkor run`` process. ``Dask``:
an existing Dask distributed cluster (``--scheduler tcp://HOST:PORT``); each
run is one task, the run function sent to the workers by value, so that a
worker needs the velkor tool and the program at the paths given, and not
this package. Neither keeps a queue of its own: the pool's and the
scheduler's are used.
"""

import concurrent.futures
import os
import signal
import threading

from . import runner


def cores():
    try:
        return len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return os.cpu_count() or 1


class Local:
    def __init__(self, workers=0):
        self.workers = workers if workers and workers > 0 else cores()
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=self.workers,
                                                          thread_name_prefix="velkor-campaign")
        self.name = "%d local worker%s" % (self.workers, "" if self.workers == 1 else "s")
        self.running = set()
        self.lock = threading.Lock()
        self.stopping = False

    def track(self, process, started):
        with self.lock:
            if started:
                self.running.add(process)
            else:
                self.running.discard(process)
            return not self.stopping

    def submit(self, *arguments, **keywords):
        return self.pool.submit(runner.run_scenario, *arguments, track=self.track, **keywords)

    def completed(self, futures):
        return concurrent.futures.as_completed(futures)

    def stop(self, futures):
        """Starts no more runs and ends those under way (SIGTERM: velkor run
        passes it to the program and still reports)."""
        for f in futures:
            f.cancel()
        with self.lock:
            self.stopping = True
            for process in self.running:
                try:
                    process.send_signal(signal.SIGTERM)
                except OSError:
                    pass

    def close(self):
        self.pool.shutdown(wait=True, cancel_futures=True)


class Dask:
    def __init__(self, scheduler, timeout=30):
        try:
            import cloudpickle
            from distributed import Client
        except ImportError as e:
            raise RuntimeError("the dask engine needs Dask distributed (Debian: python3-distributed): %s" % e) \
                from None
        # The run function goes to the workers by value: they need no velkor package.
        cloudpickle.register_pickle_by_value(runner)
        self.client = Client(scheduler, timeout=timeout)
        self.workers = sum(w.get("nthreads", 1) for w in self.client.scheduler_info()["workers"].values())
        self.name = "Dask cluster at %s (%d worker thread%s)" % (scheduler, self.workers,
                                                                  "" if self.workers == 1 else "s")

    def submit(self, *arguments, **keywords):
        return self.client.submit(runner.run_scenario, *arguments, pure=False, **keywords)

    def completed(self, futures):
        from distributed import as_completed
        return as_completed(futures)

    def stop(self, futures):
        self.client.cancel(list(futures))

    def close(self):
        self.client.close()


def engine_for(scheduler=None, workers=0):
    return Dask(scheduler) if scheduler else Local(workers)
