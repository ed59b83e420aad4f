"""What the cluster recipes share: the cluster, the tiles, the tasks.

A task runs one `tivra` command on a worker and returns its standard
output. The program does the imaging; Dask only places the commands, and
retries them on another worker when a worker is lost.
"""

import contextlib
import os
import shutil
import subprocess
import sys
import uuid

import cloudpickle
import distributed

# The task functions below travel to the workers by value, so the workers
# need nothing of this folder on their path.
cloudpickle.register_pickle_by_value(sys.modules[__name__])

# Times a task may fail (an error exit of the program) before the job
# stops; a lost worker's tasks are rescheduled under Dask's own
# allowed-failures setting.
RETRIES = 2


def find_tivra(given=None):
    """The program: the one given, $TIVRA, `tivra` on the path, or the
    build tree beside this folder."""
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (given, os.environ.get("TIVRA"), shutil.which("tivra"),
                      os.path.join(here, "..", "..", "build", "bin", "tivra")):
        if candidate and os.access(candidate, os.X_OK):
            return os.path.abspath(candidate)
    sys.exit("no tivra program: give --tivra PATH or set TIVRA")


@contextlib.contextmanager
def connect(scheduler, workers=None):
    """A client of the scheduler at ADDRESS, or of a local cluster of
    worker processes (one thread each) on the loopback interface."""
    if scheduler != "local":
        with distributed.Client(scheduler) as client:
            yield client
        return
    workers = workers or os.cpu_count()
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address="127.0.0.1:0") as cluster:
        with distributed.Client(cluster) as client:
            yield client


def tiles(width, height, tile):
    """The windows (xoff, yoff, xsize, ysize) of a tile x tile grid over a
    width x height raster, row by row; the last row and column are narrower."""
    return [(x, y, min(tile, width - x), min(tile, height - y))
            for y in range(0, height, tile) for x in range(0, width, tile)]


def window_text(window):
    return ",".join(str(v) for v in window)


def run_tivra(command):
    """Runs one program command on a worker: its standard output, or
    RuntimeError with its standard error. A worker killed meanwhile leaves
    the program running to its end; what it writes, it writes atomically,
    and the same as the task's rerun elsewhere writes."""
    done = subprocess.run(command, capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: exit status {done.returncode}: {done.stderr.strip()}")
    return done.stdout


def submit_all(client, job, commands, names):
    """Submits the commands, one task each (retried on failure), keyed by
    the job's name, a token of this run and each name; the futures in order."""
    token = uuid.uuid4().hex[:8]
    keys = [f"{job}-{token}-{name}" for name in names]
    return client.map(run_tivra, commands, key=keys, retries=RETRIES, pure=False)
