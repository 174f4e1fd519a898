# The scan reads the listing as a stream: whatever a partition holds, the installer keeps only
# the wallets it found. A partition of 40,000 entries with 3.6 KB paths (about 140 MB of
# listing) is scanned within a small fraction of that in memory.
import os

from scan_tree import make_long_path_tree
from test_scan import SCAN_TIMEOUT, make_wallet, scan
from tmux_session import TOP_HEADER

ENTRIES = 40_000
PATH_BYTES = 3_600


def peak_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise AssertionError("no VmHWM")


def test_a_huge_listing_is_scanned_in_memory_bounded_by_the_wallets_found(tui):
    sb = tui.sb
    make_long_path_tree(os.path.join(sb.mounts[0], "big"), ENTRIES, PATH_BYTES)
    wallet = make_wallet(os.path.join(sb.mounts[0], "apps"))
    tui.start()
    before = peak_kb(tui.pid)
    drawn = scan(tui)
    # The wallet's folder and program: the selection screen.
    rows = tui.wait_for(" FOUND 2 WALLETS", SCAN_TIMEOUT * 2)
    assert any(r.rstrip().endswith("PATH=" + wallet) for r in rows)
    listing_kb = ENTRIES * PATH_BYTES // 1024
    grown = peak_kb(tui.pid) - before
    assert grown < listing_kb // 4, "peak grew by %d kB for a %d kB listing" % (grown, listing_kb)
    tui.send("0")
    tui.wait_output_count(TOP_HEADER, drawn + 1, SCAN_TIMEOUT)
