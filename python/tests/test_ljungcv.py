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
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tarfile
import threading
import time
import warnings
import zipfile
from pathlib import Path

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


# Counts and levels on both sides of where the curves turn down.
TURN_COUNTS = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 19, 20, 39, 40, 41, 117, 118, 119, 152, 153,
               154, 460, 461, 462, 5037, 5038, 75599, 75600, 166727, 166728, 337413, 337414, 1383169,
               1383170, 1000000]
TURN_LEVELS = [1e-6, 1e-4, 0.001, 0.005, 0.01, 0.025, 0.05, 0.1, 0.0999]


def ljungcv_command(*arguments, input_text=None):
    command = os.environ.get("LJUNGCV_COMMAND")
    if not command:
        pytest.skip("LJUNGCV_COMMAND (the ljungcv command to compare with) is not set")
    return subprocess.run([command, *arguments], input=input_text, capture_output=True, text=True,
                          check=True).stdout


def run_eval(lines):
    out = ljungcv_command("eval", "--format", "csv", input_text="\n".join(lines) + "\n")
    rows = list(csv.DictReader(io.StringIO(out)))
    assert len(rows) == len(lines)
    return rows


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.int64)


def test_agrees_with_ljungcv_eval_bit_for_bit():
    n, alpha = (grid.ravel() for grid in np.meshgrid(COUNTS, LEVELS))
    # The package truncates a fractional count, as the function does; the
    # command refuses one, so it is asked at the truncated count.
    lines = [f"{a!r} {b!r}" + (f" {m}" if m else "") for m in METHODS for a, b in zip(np.trunc(n), alpha)]
    rows = run_eval(lines)
    expected_status = np.array([int(row["status"]) for row in rows]).reshape(len(METHODS), n.size)
    expected_value = np.array([float(row["value"] or "nan") for row in rows]).reshape(
        len(METHODS), n.size)
    assert {0, 120833, 120836} <= set(expected_status.ravel())

    for i, method in enumerate(METHODS):
        values, statuses = ljungcv.evaluate(n, alpha, method)
        assert statuses.tolist() == expected_status[i].tolist(), method
        assert bits(values).tolist() == bits(expected_value[i]).tolist(), method
        assert bits(ljungcv.critical_value(n, alpha, method, check=False)).tolist() == bits(values).tolist()
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
        assert [type(x) for x in ljungcv.assess(n, alpha)] == [float, int, bool]
        return
    assert values.shape == statuses.shape == shape
    assert values.dtype == np.float64 and statuses.dtype == np.int32
    n_all, alpha_all = np.broadcast_arrays(np.asarray(n, dtype=np.float64), alpha)
    one_by_one = [ljungcv.evaluate(a, b) for a, b in zip(n_all.ravel(), alpha_all.ravel())]
    assert bits([v for v, _ in one_by_one]).tolist() == bits(values.ravel()).tolist()
    assert [s for _, s in one_by_one] == statuses.ravel().tolist()


@pytest.mark.parametrize("count", [10**400, -10**400, fractions.Fraction(10**400, 3), 2**64,
                                   decimal.Decimal("sNaN"), decimal.Decimal("-NaN")])
def test_counts_beyond_the_doubles_or_nan_have_no_value(count):
    # As every count outside 32 bits: no OverflowError, no ValueError.
    value, status = ljungcv.evaluate(count, 0.05)
    assert np.isnan(value) and status == ljungcv.STATUS_NO_RESULT
    values, statuses = ljungcv.evaluate([count, 10], 0.05)
    assert statuses.tolist() == [ljungcv.STATUS_NO_RESULT, 0] and np.isnan(values[0])


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
    expected = ljungcv.critical_value(n, alpha, check=False)
    results, stamps = {}, []

    def work(k):
        start = time.perf_counter()
        results[k] = ljungcv.critical_value(n, alpha, check=False)
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
    here = Path(__file__).parent
    # The repository's README, its manual's Python and outlier pages, and the package's own.
    sections = [(here.parent.parent / name).read_text(encoding="utf-8")
                for name in ("README.md", "docs/python.md", "docs/outliers.md", "python/README.md")]
    for section in sections:
        blocks = "\n".join(re.findall(r"```pycon\n(.*?)```", section, re.S))
        examples = doctest.DocTestParser().get_doctest(blocks, {}, "README Python", "README.md", 0)
        runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
        runner.run(examples)
        assert runner.summarize(verbose=False) == (0, len(examples.examples)) != (0, 0)


def test_assess_and_limits_agree_with_the_command():
    n, alpha = (grid.ravel() for grid in np.meshgrid(TURN_COUNTS, TURN_LEVELS))
    for method in ("C", "L"):
        rows = run_eval([f"{a:.0f} {b!r} {method}" for a, b in zip(n, alpha)])
        got = ljungcv.assess(n, alpha, method)
        assert bits(got.value).tolist() == bits([float(row["value"] or "nan") for row in rows]).tolist()
        assert got.status.tolist() == [int(row["status"]) for row in rows]
        assert got.turned_down.tolist() == [row["turned_down"] == "1" for row in rows]
        assert {row["turned_down"] for row in rows} == ({"0", "1", ""} if method == "L" else {"0", "1"})

        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            values = ljungcv.critical_value(n, alpha, method)
        caught = [warning for warning in caught if warning.category is not ljungcv.DomainWarning]
        count = int(got.turned_down.sum())
        assert [(warning.category, warning.message.count, warning.message.total) for warning in caught] == [
            (ljungcv.OutOfRangeWarning, count, n.size)]
        assert str(caught[0].message).startswith(f"{count} of {n.size} values")
        assert caught[0].filename == __file__  # points at the caller
        assert bits(values).tolist() == bits(got.value).tolist()

        for level in TURN_LEVELS:
            printed = ljungcv_command("limits", "--method", method, "--alpha", repr(level))
            expected = [(m, float(a), int(first), int(last), text) for m, a, first, last, text in
                        (line.split(None, 4) for line in printed.splitlines()[1:])]
            assert [(method, level, *stretch[:2], stretch.text)
                    for stretch in ljungcv.limits(method, level)] == expected, (method, level)
        with pytest.raises(ValueError, match=r"alpha = 0\.2\) rejected"):  # the interface's reason
            ljungcv.limits(method, 0.2)


def test_the_warning_is_one_runtime_warning_and_check_false_skips_it():
    n, alpha = [460, 461, 462, 463], 0.001
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(RuntimeWarning) as raised:
            ljungcv.critical_value(n, alpha)
        assert isinstance(raised.value, ljungcv.OutOfRangeWarning) and raised.value.count == 2
        assert "n = 462, alpha = 0.001" in str(raised.value)  # the first, explained
        # None out of range, masked away, or not assessed: no warning.
        ljungcv.critical_value(n[:2], alpha)
        ljungcv.critical_value(np.ma.masked_array(n, mask=[0, 0, 1, 1]), alpha)
        unchecked = ljungcv.critical_value(n, alpha, check=False)
    assert bits(unchecked).tolist() == bits(ljungcv.evaluate(n, alpha)[0]).tolist()


def test_elements_outside_the_domain_warn_once_with_the_commands_reason():
    def command_reason(*words):
        result = subprocess.run([os.environ.get("LJUNGCV_COMMAND") or pytest.skip("LJUNGCV_COMMAND is not set"),
                                 *words], capture_output=True, text=True, check=False)
        assert result.returncode in (1, 2), result.stderr
        return result.stderr.strip().removeprefix("ljungcv: ")

    cases = [  # n, alpha, method, how many, of how many, the first's reason as the command words it
        (240, 5, "C", 1, 1, command_reason("240", "5")),
        ([10, 1, 10, NAN, 10, 0], [0.05, 0.05, 0.2, 0.05, NAN, 0.0], "L", 3, 6, command_reason("1", "0.05", "L")),
        (np.ma.masked_array([10, 1], mask=[0, 1]), 0.05, "L", 0, 2, None),  # masked away
        ([NAN, 10], [0.05, NAN], "C", 0, 2, None),  # missing in, missing out, as NumPy has it
    ]
    for n, alpha, method, count, total, reason in cases:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            values = ljungcv.critical_value(n, alpha, method)
        domain = [warning for warning in caught if warning.category is ljungcv.DomainWarning]
        if not count:
            assert domain == [], (n, alpha)
            continue
        assert [(w.message.count, w.message.total) for w in domain] == [(count, total)]
        assert issubclass(domain[0].category, RuntimeWarning) and domain[0].filename == __file__
        assert str(domain[0].message).endswith(reason)
        assert np.isnan(values).sum() >= count
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert math.isnan(ljungcv.critical_value(240, 5, check=False))  # silent
        with pytest.raises(RuntimeWarning, match=r"^nan, outside the function's domain: argument 2"):
            ljungcv.critical_value(240, 5)


def test_reach_is_the_commands_and_crosses_where_the_values_pass():
    thresholds, levels = [1.9, 3.5, 4.9, 6.0], [0.1, 0.05, 0.001, 1e-6]
    printed = ljungcv_command("reach", ",".join(map(repr, thresholds)), "--method", "both", "--alpha",
                              ",".join(map(repr, levels)), "--format", "json")
    rows = json.loads(printed)["rows"]
    kinds = {"crosses": ljungcv.REACH_CROSSES, "from_start": ljungcv.REACH_FROM_START,
             "never": ljungcv.REACH_NEVER}
    for row in rows:
        found = ljungcv.reach(row["threshold"], row["alpha"], row["method"])
        assert found.reach == kinds[row["reach"]], row
        assert (found.n, found.outside_n, found.note) == (row["n"], row["outside_n"], row["note"]), row
        for got, want in ((found.value, row["value"]), (found.value_before, row["value_before"])):
            assert bits([got]).tolist() == bits([NAN if want is None else want]).tolist(), row
        if found.reach == ljungcv.REACH_CROSSES:
            at_n, before = ljungcv.critical_value([found.n, found.n - 1], row["alpha"], row["method"], check=False)
            assert before < row["threshold"] <= at_n, row
    assert {row["reach"] for row in rows} == set(kinds)
    with pytest.raises(ValueError, match=r"alpha = 0\.2\) rejected"):
        ljungcv.reach(3.5, 0.2)
    with pytest.raises(ValueError, match="threshold is nan"):
        ljungcv.reach(NAN)
    with pytest.raises(ValueError, match="threshold has 2 elements: reach needs one threshold"):
        ljungcv.reach([3.5, 4])


def forms_of(result):
    """A result's form and values as float64 bits."""
    form = type(result).__name__, getattr(result, "name", None)
    if hasattr(result, "index"):
        form += (list(result.index), list(getattr(result, "columns", [])))
        result = result.to_numpy()
    mask = np.ma.getmaskarray(result).tolist() if np.ma.isMaskedArray(result) else None
    return form + (mask,), bits(np.asarray(np.ma.getdata(result), dtype=float)).tolist()


def test_masked_and_pandas_arguments_keep_their_form():
    cases = [  # n, alpha, the form expected, n and alpha as plain floats
        (np.ma.masked_array([10, 462, 20], mask=[0, 0, 1]), 0.001,
         ("MaskedArray", None, [False, False, True]), [10, 462, np.nan], 0.001)]
    pd = pandas_or_none()
    if pd is not None:
        index = pd.Index(["a", "b", "c"])
        frame = pd.DataFrame({"x": pd.array([10, None, 462], dtype="Int64"), "y": [20.0, 30.0, 40.0]},
                             index=index)
        cases += [
            (pd.Series([10, None, 462], dtype="Int64", index=index, name="n"), 0.001,
             ("Series", "n", list(index), [], None), [10, np.nan, 462], 0.001),
            (frame["y"], pd.Series([0.05, pd.NA, 0.001], dtype="Float64", index=index),
             ("Series", "y", list(index), [], None), [20, 30, 40], [0.05, np.nan, 0.001]),
            (frame, 0.001, ("DataFrame", None, list(index), ["x", "y"], None),
             [[10, 20], [np.nan, 30], [462, 40]], 0.001),
            (pd.Series([10, pd.NA], dtype=object), 0.05, ("Series", None, [0, 1], [], None),
             [10, np.nan], 0.05),
        ]
        with pytest.raises(ValueError, match="different indexes"):
            ljungcv.critical_value(frame["y"], pd.Series([0.05] * 3))
    for n, alpha, form, plain_n, plain_alpha in cases:
        expected = ljungcv.assess(plain_n, plain_alpha)
        got = ljungcv.assess(n, alpha)
        checked = ljungcv.critical_value(n, alpha, check=False)
        for result, plain in ((got.value, expected.value), (checked, expected.value),
                              (ljungcv.evaluate(n, alpha)[0], expected.value), (got.status, expected.status),
                              (got.turned_down, expected.turned_down)):
            assert forms_of(result) == (form, bits(np.asarray(plain, dtype=float)).tolist()), form


def pandas_or_none():
    try:
        import pandas
    except ImportError:  # optional: scripts/test-python.sh installs it
        return None
    return pandas


def run_python(code, **env):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env={**os.environ, **env})


def test_pandas_stays_optional_and_an_unbuilt_tree_says_how_to_install(tmp_path):
    done = run_python("import sys, numpy as np, ljungcv; ljungcv.assess([10, 462], 0.001); "
                      "ljungcv.critical_value(np.ma.masked_array([10], mask=[1]), 0.05); "
                      "print('pandas' in sys.modules)")
    assert (done.returncode, done.stdout) == (0, "False\n"), done.stderr
    # The package's Python files without the libraries its install builds.
    shutil.copytree(Path(ljungcv.__file__).parent, tmp_path / "ljungcv", ignore=shutil.ignore_patterns("_lib"))
    done = run_python("import ljungcv", PYTHONPATH=str(tmp_path))
    assert done.returncode == 1 and "OSError" not in done.stderr
    assert re.search(r"ImportError: ljungcv is not built.*\n.*pip install --no-build-isolation ./python",
                     done.stderr, re.S), done.stderr


def test_sdist_and_wheel():
    if "LJUNGCV_DIST" not in os.environ:
        pytest.skip("LJUNGCV_DIST (where python -m build put the sdist and the wheel) is not set")
    dist = Path(os.environ["LJUNGCV_DIST"])
    (wheel,), (sdist,) = dist.glob("*.whl"), dist.glob("*.tar.gz")
    assert wheel.name == f"ljungcv-{ljungcv.__version__}-py3-none-linux_x86_64.whl"
    with zipfile.ZipFile(wheel) as archive:
        info = f"ljungcv-{ljungcv.__version__}.dist-info/"
        metadata = archive.read(info + "METADATA").decode()
        assert archive.read(info + "LICENSE").startswith(b"MIT License")
        archive.getinfo("ljungcv/_lib/libcvhost.so")  # KeyError when missing
    assert all(field in metadata for field in ("Requires-Python: >=3.9", "Platform: Linux x86-64",
                                               "License: MIT", "Description-Content-Type: text/markdown",
                                               "\n\n# ljungcv\n"))
    with tarfile.open(sdist) as archive:  # a wheel builds from it alone: it carries the module's sources
        members = {member.name.split("/", 1)[-1]: member for member in archive.getmembers()}
    assert members["LICENSE"].isfile() and members["native/CMakeLists.txt"].isfile()
    assert not any(name.startswith(("native/python/", "native/build")) for name in members)


def test_pandas_arguments_pair_by_label_or_not_at_all():
    pd = pandas_or_none()
    if pd is None:
        pytest.skip("pandas is not installed")
    rows = ["short", "long"]
    n = pd.Series([10, 1000], index=rows)
    levels = pd.DataFrame({"a": [0.01, 0.05], "b": [0.05, 0.1]}, index=rows)
    cases = [  # n, alpha, the plain n and alpha the result must equal, or the error's words
        (n, pd.Series([0.01, 0.05], index=rows), [10, 1000], [0.01, 0.05]),
        (n, levels, [[10], [1000]], [[0.01, 0.05], [0.05, 0.1]]),
        (pd.Series([10, 1000], index=["a", "b"]), levels, [10, 1000], [[0.01, 0.05], [0.05, 0.1]]),
        (n, levels[::-1], "matches neither of the DataFrame's index and columns"),
        (n, pd.Series([0.01, 0.05], index=rows[::-1]), "different indexes or columns"),
        (levels[::-1], levels, "different indexes or columns"),
        (levels.rename(columns={"b": "c"}), levels, "different indexes or columns"),
        (pd.DataFrame([[10, 20], [30, 40]], index=rows, columns=rows), n,
         "matches both of the DataFrame's index and columns"),
        (n, np.array([0.01, 0.05]), [10, 1000], [0.01, 0.05]),
        (n, 0.05, [10, 1000], 0.05),
    ]
    for case in cases:
        if isinstance(case[2], str):
            with pytest.raises(ValueError, match=case[2]) as raised:
                ljungcv.critical_value(case[0], case[1], check=False)
            assert "'short'" in str(raised.value) and "'long'" in str(raised.value)
            continue
        got = ljungcv.critical_value(case[0], case[1], check=False)
        if isinstance(case[1], pd.DataFrame):
            assert list(got.index) == rows and list(got.columns) == ["a", "b"]
        expected = ljungcv.critical_value(case[2], case[3], check=False)
        assert bits(np.asarray(got, dtype=float)).tolist() == bits(np.asarray(expected, dtype=float)).tolist()


def test_masked_arguments_stay_masked_and_limits_needs_a_level():
    masked_pairs = [  # evaluate keeps the mask where critical_value has it
        (np.ma.masked, 0.05), (10, np.ma.masked), (np.ma.masked_array([10, 20], mask=[0, 1]), 0.05),
        (np.ma.masked_array(10, mask=True), 0.05),
    ]
    for n, alpha in masked_pairs:
        values, statuses = ljungcv.evaluate(n, alpha)
        expected = ljungcv.critical_value(n, alpha, check=False)
        assert np.ma.getmaskarray(values).tolist() == np.ma.getmaskarray(expected).tolist()
        assert np.ma.getmaskarray(statuses).tolist() == np.ma.getmaskarray(expected).tolist()
    for alpha in (np.ma.masked, np.ma.masked_array(0.05, mask=True), np.ma.masked_array([0.05], mask=[1])):
        with pytest.raises(ValueError, match="alpha is masked"):
            ljungcv.limits("C", alpha)
    assert ljungcv.limits("C", np.ma.masked_array(0.001, mask=False))[0].last_n == 461
