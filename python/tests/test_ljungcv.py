"""Tests of the installed ljungcv package.

LJUNGCV_COMMAND names the ljungcv command to compare with (scripts/test-python.sh
sets it); the package's module is built separately from the command's, from
the same sources, so agreement also shows that the package built it with
the module's own flags.
"""

import csv
import decimal
import doctest
import fractions
import io
import os
import re
import subprocess
import threading
import time

import numpy as np
import pytest

import ljungcv

NAN = float("nan")
COUNTS = [-2147483649.0, -2147483648.0, -1.5, 0.0, 0.9, 1.0, 1.9, 2.0, 2.5, 3.0, 7.0, 99.0, 100.0,
          101.0, 199.0, 200.0, 200.7, 201.0, 461.0, 1e4, 1e6, 2147483647.0, 2147483648.0,
          NAN, float("inf"), float("-inf")]
LEVELS = [-1e-300, -0.0, 0.0, 5e-324, 1e-16, 3.3e-16, 4e-16, 1e-10, 0.001, 0.01, 0.05,
          0.09999999999999999, 0.1, 0.10000000000000002, 0.2, NAN]
METHODS = [None, "C", "corr", "CORRECTED", "L", "Ljung"]
REJECTED_METHODS = ["x", "LJ", "CORRECTE", "CORRECTEDX", ""]


def run_eval(lines):
    command = os.environ.get("LJUNGCV_COMMAND")
    if not command:
        pytest.skip("LJUNGCV_COMMAND (the ljungcv command to compare with) is not set")
    out = subprocess.run([command, "eval"], input="\n".join(lines) + "\n", capture_output=True,
                         text=True, check=True).stdout
    rows = list(csv.DictReader(io.StringIO(out)))
    assert len(rows) == len(lines)
    return rows


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.int64)


def test_agrees_with_ljungcv_eval_bit_for_bit():
    n, alpha = (grid.ravel() for grid in np.meshgrid(COUNTS, LEVELS))
    lines = [f"{a!r} {b!r}" + (f" {m}" if m else "") for m in METHODS for a, b in zip(n, alpha)]
    rows = run_eval(lines)
    expected_status = np.array([int(row["status"]) for row in rows]).reshape(len(METHODS), n.size)
    expected_value = np.array([float(row["value"] or "nan") for row in rows]).reshape(
        len(METHODS), n.size)
    assert {0, 120833, 120836} <= set(expected_status.ravel())

    for i, method in enumerate(METHODS):
        values, statuses = ljungcv.evaluate(n, alpha, method)
        assert statuses.tolist() == expected_status[i].tolist(), method
        assert bits(values).tolist() == bits(expected_value[i]).tolist(), method
        assert bits(ljungcv.critical_value(n, alpha, method)).tolist() == bits(values).tolist()
        # Scalars take another path through the host: the same bits.
        for k in range(0, n.size, 7):
            value, status = ljungcv.evaluate(n[k], alpha[k], method)
            assert (status, bits(value)) == (statuses[k], bits(values[k]))


def test_unknown_methods_are_the_ones_the_module_rejects():
    rows = run_eval([f"10 0.05 {m}" for m in REJECTED_METHODS[:-1]] + ["10 0.05 ljung"])
    assert [row["status"] for row in rows] == ["120836"] * (len(REJECTED_METHODS) - 1) + ["0"]
    for method in REJECTED_METHODS + ["C\0", " "]:
        for n in (10, [10, 20]):
            with pytest.raises(ValueError, match="unknown method " + re.escape(repr(method))):
                ljungcv.critical_value(n, 0.05, method)
    # Blanks around a name and any mix of cases are the module's to accept.
    assert ljungcv.critical_value(100, 0.05, " lJuNg ") == ljungcv.critical_value(100, 0.05, "L")


@pytest.mark.parametrize("n, alpha, shape", [
    (10, 0.05, None),
    (np.float32(10), np.array(0.05), None),
    ([10, 20, 30], 0.05, (3,)),
    (np.arange(1, 1001), [[0.01], [0.05]], (2, 1000)),
    (np.arange(6, dtype=np.int16).reshape(3, 1, 2)[:, :, ::-1], [[0.01], [0.05], [0.1], [0.0]], (3, 4, 2)),
    (np.array([5, 50], dtype=">f8"), np.array([True, False]), (2,)),
    ([fractions.Fraction(201, 2), 10], decimal.Decimal("0.05"), (2,)),
    ([], 0.05, (0,)),
])
def test_broadcasting_and_result_types(n, alpha, shape):
    values, statuses = ljungcv.evaluate(n, alpha)
    if shape is None:
        assert type(values) is float and type(statuses) is int
        assert type(ljungcv.critical_value(n, alpha)) is float
        return
    assert values.shape == statuses.shape == shape
    assert values.dtype == np.float64 and statuses.dtype == np.int32
    n_all, alpha_all = np.broadcast_arrays(np.asarray(n, dtype=np.float64), alpha)
    one_by_one = [ljungcv.evaluate(a, b) for a, b in zip(n_all.ravel(), alpha_all.ravel())]
    assert bits([v for v, _ in one_by_one]).tolist() == bits(values.ravel()).tolist()
    assert [s for _, s in one_by_one] == statuses.ravel().tolist()


@pytest.mark.parametrize("call, error", [
    (lambda: ljungcv.critical_value("10", 0.05), TypeError),
    (lambda: ljungcv.critical_value(10, None), TypeError),
    (lambda: ljungcv.critical_value([10, "a"], 0.05), TypeError),
    (lambda: ljungcv.critical_value(10, 0.05 + 0j), TypeError),
    (lambda: ljungcv.critical_value(10, 0.05, method=1), TypeError),
    (lambda: ljungcv.critical_value([1, 2, 3], [0.01, 0.05]), ValueError),
])
def test_errors(call, error):
    with pytest.raises(error):
        call()


def test_threads_share_the_host_and_run_outside_the_gil():
    rng = np.random.default_rng(15)
    n = rng.integers(1, 100000, 2_000_000).astype(np.float64)
    alpha = rng.uniform(0, 0.1, n.size)
    expected = ljungcv.critical_value(n, alpha)
    results, stamps = {}, []

    def work(k):
        start = time.perf_counter()
        results[k] = ljungcv.critical_value(n, alpha)
        results[k, "time"] = (start, time.perf_counter())

    threads = [threading.Thread(target=work, args=(k,)) for k in range(3)]
    for thread in threads:
        thread.start()
    while any(thread.is_alive() for thread in threads):
        stamps.append(time.perf_counter())
    for thread in threads:
        thread.join()
    for k in range(3):
        assert np.array_equal(bits(results[k]), bits(expected))
    # This thread kept running while the others were inside the host.
    start, end = results[0, "time"]
    middle = (start + (end - start) / 4, end - (end - start) / 4)
    assert any(middle[0] < stamp < middle[1] for stamp in stamps)


def test_docstring_and_readme_examples():
    result = doctest.testmod(ljungcv, optionflags=doctest.NORMALIZE_WHITESPACE)
    assert result.attempted >= 10 and result.failed == 0
    readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md"), encoding="utf-8").read()
    section = readme.split("\n## Python\n")[1].split("\n## ")[0]
    blocks = "\n".join(re.findall(r"```pycon\n(.*?)```", section, re.S))
    examples = doctest.DocTestParser().get_doctest(blocks, {}, "README Python", "README.md", 0)
    runner = doctest.DocTestRunner()
    runner.run(examples)
    assert runner.summarize(verbose=False) == (0, len(examples.examples)) != (0, 0)
