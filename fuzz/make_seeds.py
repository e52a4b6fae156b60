#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/<target>/ for the fuzz targets.

Each seed follows its target's input layout (see the comment at the top of
the target's source). Seeds are named after what they exercise; running
this again rewrites the same files.
"""
import math
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"

MISSING = struct.unpack("<d", bytes.fromhex("000000000000d1ff"))[0]
ABOVE_TENTH = struct.unpack("<d", struct.pack("<Q", struct.unpack("<Q", struct.pack("<d", 0.1))[0] + 1))[0]


def eval_seed(n, alpha, text=None, service=False, fill=0x5A, flags=(0, 0, 0)):
    options = (1 if text is not None else 0) | (2 if service else 0)
    data = struct.pack("<dd", n, alpha) + bytes([options, fill, *flags])
    return data + (text if text is not None else b"")


EVAL = {
    "two_arguments": eval_seed(10.0, 0.05),
    "n_fraction": eval_seed(25.9, 0.01),
    "n_one_corrected": eval_seed(1.0, 0.05),
    "n_one_ljung": eval_seed(1.0, 0.05, b"L"),
    "n_zero": eval_seed(0.0, 0.05),
    "n_negative": eval_seed(-1.5, 0.05, b"LJUNG"),
    "n_huge": eval_seed(2.5e9, 0.05),
    "n_largest_count": eval_seed(2147483647.0, 0.05, b"L"),
    "n_infinite": eval_seed(math.inf, 0.05),
    "n_nan": eval_seed(math.nan, 0.05),
    "n_missing": eval_seed(MISSING, 0.05),
    "n_and_alpha_missing": eval_seed(MISSING, MISSING, b"L"),
    "alpha_missing": eval_seed(100.0, MISSING),
    "alpha_zero": eval_seed(100.0, 0.0),
    "alpha_negative_zero": eval_seed(100.0, -0.0, b"L"),
    "alpha_tenth": eval_seed(200.0, 0.1, b"C"),
    "alpha_above_tenth": eval_seed(200.0, ABOVE_TENTH),
    "alpha_negative": eval_seed(200.0, -1e-300),
    "alpha_tiny": eval_seed(50.0, 5e-324, b"L"),
    "alpha_nan": eval_seed(50.0, math.nan, b"L"),
    "alpha_first_anchor_only": eval_seed(50.0, 3e-16),
    "ljung_lower_case_blanks": eval_seed(100.0, 0.05, b"  lJuNg   ", service=True),
    "corr_lower_case": eval_seed(100.0, 0.05, b"corr"),
    "corrected": eval_seed(150.0, 0.05, b"CORRECTED", service=True),
    "correct": eval_seed(150.0, 0.05, b"correct "),
    "l_c": eval_seed(20.0, 0.01, b"L C", service=True),
    "l_c_corr": eval_seed(20.0, 0.01, b" L C CORR"),
    "c_corr": eval_seed(20.0, 0.01, b"C CORR"),
    "l_two_blanks_c": eval_seed(20.0, 0.01, b"L  C"),
    "prefix_lj": eval_seed(20.0, 0.01, b"LJ"),
    "unknown_x": eval_seed(20.0, 0.01, b"X", service=True),
    "ten_characters": eval_seed(20.0, 0.01, b"CORRECTEDX"),
    "empty_text": eval_seed(20.0, 0.01, b""),
    "blank_text": eval_seed(20.0, 0.01, b"     "),
    "tab_before": eval_seed(20.0, 0.01, b"\tL"),
    "nul_after": eval_seed(20.0, 0.01, b"C\x00"),
    "high_bytes": eval_seed(20.0, 0.01, b"\xff\xe9L"),
    "flags_preset": eval_seed(MISSING, 0.05, b"L", fill=0xFF, flags=(0xFF, 0xFE, 0x01)),
}


def text_justify(mode, field, no_length=False, no_position=False):
    options = (1 if no_length else 0) | (2 if no_position else 0)
    if isinstance(mode, int) and not 0 <= mode < 0xF0:
        return bytes([0, 0xF0, options]) + struct.pack("<i", mode) + field
    return bytes([0, ord(mode) if isinstance(mode, str) else mode, options]) + field


def text_find(word, text, terminated=False, null_word=False):
    options = (1 if terminated else 0) | (2 if null_word else 0)
    return bytes([1, len(word), options]) + word + text


KEYWORDS = b" L C CORR CORRECT LJUNG CORRECTED "

TEXT = {
    "measure": text_justify("n", b"   AB     "),
    "centre": text_justify("C", b"   AB     "),
    "centre_odd": text_justify("c", b"AB   "),
    "left": text_justify("L", b"   AB     "),
    "left_lower": text_justify("l", b" x y "),
    "right": text_justify("R", b"   AB     "),
    "right_lower": text_justify("r", b"A\tB  "),
    "already_left": text_justify("L", b"AB   "),
    "blanks_only": text_justify("C", b"      "),
    "width_zero": text_justify("R", b""),
    "one_byte": text_justify("C", b"Z"),
    "no_results": text_justify("C", b"  Q ", no_length=True, no_position=True),
    "blanks_no_results": text_justify("L", b"    ", no_length=True, no_position=True),
    "mode_negative": text_justify(-67, b"  AB  "),
    "mode_wide": text_justify(0x10043, b"  AB  "),
    "nul_and_tab": text_justify("R", b"\x00 \t  "),
    "find_keyword": text_find(b" LJUNG ", KEYWORDS),
    "find_first_of_two": text_find(b"C", KEYWORDS),
    "find_last_position": text_find(b"TED ", KEYWORDS),
    "find_missing": text_find(b" LJ ", KEYWORDS),
    "find_longer_word": text_find(b"ABCD", b"ABC"),
    "find_empty_word": text_find(b"", b"ABC"),
    "find_empty_word_empty_text": text_find(b"", b""),
    "find_empty_text": text_find(b"A", b""),
    "find_terminated": text_find(b"RR\x00X", KEYWORDS, terminated=True),
    "find_terminated_empty": text_find(b"\x00A", b"ABC", terminated=True),
    "find_null_word": text_find(b"", b"ABC", null_word=True),
}


def column_major(n, rows, lda):
    """The matrix given row by row, stored column by column with leading dimension lda."""
    a = [0.0] * ((n - 1) * lda + n)
    for i in range(n):
        for j in range(n):
            a[i + j * lda] = rows[i][j]
    return a


def solver_small(n, rows, b, lda_extra=0):
    """A system of small multiples of 1/8, rows given row by row."""
    values = column_major(n, rows, n + lda_extra) + b
    return bytes([n - 1, lda_extra, 1]) + b"".join(struct.pack("<h", int(v * 8)) for v in values)


def solver_raw(n, rows, b, lda_extra=0):
    values = column_major(n, rows, n + lda_extra) + b
    return bytes([n - 1, lda_extra, 0]) + b"".join(struct.pack("<d", v) for v in values)


SOLVER = {
    "one_by_one": solver_small(1, [[4]], [2]),
    "zero_one_by_one": solver_small(1, [[0]], [2]),
    "equal_rows": solver_small(3, [[1, 2, 3], [1, 2, 3], [0, 1, 5]], [1, 2, 3]),
    "zero_first_column": solver_small(2, [[0, 1], [0, 2]], [1, 1]),
    "scaling_decides": solver_small(2, [[2, 1000], [1, 1]], [1002, 2]),
    "tie": solver_small(2, [[1, 1], [-1, 1]], [2, 0]),
    "interchange": solver_small(2, [[0, 1], [1, 0]], [1, 2]),
    "singular_in_exact_arithmetic": solver_small(3, [[1, 2, 3], [4, 5, 6], [7, 8, 9]], [1, 1, 1]),
    "leading_dimension": solver_small(3, [[2, -1, 0.5], [1, 3, -2], [0.25, 1, 4]], [1, 2, 3], lda_extra=2),
    "tiny_rows": solver_raw(2, [[1e-30, 0], [0, 1]], [1e-30, 1]),
    "tolerance_singular": solver_raw(2, [[1, 2e-20], [1, 3e-20]], [1, 1]),
    "tolerance_regular": solver_raw(2, [[1, 2e-20], [1, 7e-20]], [1, 1]),
    "anchor_system": solver_raw(3, [[1, 0.9191833283, 1.1774100225],
                                    [1, 0.6685994659, 3.0348542588],
                                    [1, 0.6448686078, 3.2552472614]],
                                [2.236476646, 3.810087572, 3.956458293]),
    "subnormal_row": solver_raw(2, [[5e-324, 0], [0, 1]], [5e-324, 1]),
    "infinite_entry": solver_raw(2, [[math.inf, 1], [1, 1]], [1, 1]),
    "nan_entry": solver_raw(2, [[math.nan, 1], [1, 1]], [1, 1]),
    "order_zero": bytes([0xF8, 0, 1]),
    "order_four": bytes([0xFA, 0, 1]),
    "lda_below_order": bytes([2, 0xF8, 1]) + bytes(24),
}


IO, AO, LS, TC = 1, 2, 4, 8
NAN = math.nan


def outlier_seed(values, k=0, type_=AO | LS | TC, delta=0.7, sigma=NAN, cv=NAN, alpha=0.05, capacity=8,
                 message_size=200, method=0, options=0):
    """values are raw doubles, or with option bit 6 signed bytes (16 per unit)."""
    head = bytes([options]) + struct.pack("<i", type_) + struct.pack("<dddd", delta, sigma, cv, alpha)
    head += bytes([k, capacity, message_size, method])
    if options & 0x40:
        return head + bytes(v & 0xFF for v in values)
    return head + b"".join(struct.pack("<d", v) for v in values)


def noise(n, seed):
    """Deterministic residuals as signed bytes, about N(0, 1) in units of 1/16."""
    out, x = [], seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) % 2**31
        total = sum(((x >> s) & 0xFF) for s in (0, 8, 16)) - 382  # three uniforms: roughly normal
        out.append(max(-127, min(127, total * 16 // 128)))
    return out


BYTES = 0x40
ar = noise(120, 7)
spiked = list(ar)
spiked[40] = 127          # an additive outlier of about 8 units
spiked[41] = -64
shifted = [v + (48 if t >= 80 else 0) for t, v in enumerate(ar)]
shifted = [max(-127, min(127, v)) for v in shifted]

OUTLIERS = {
    "clean_series": outlier_seed([8] + ar, k=1, options=BYTES),
    "additive_spike": outlier_seed([8] + spiked, k=1, options=BYTES),
    "level_shift": outlier_seed([8] + shifted, k=1, options=BYTES),
    "every_type": outlier_seed([8, -4] + spiked, k=2, type_=IO | AO | LS | TC, options=BYTES),
    "ljung_method": outlier_seed([8] + spiked, k=1, method=2, options=BYTES),
    "unknown_method": outlier_seed([8] + spiked, k=1, method=4, options=BYTES),
    "level_rejected": outlier_seed([8] + spiked, k=1, alpha=0.5, options=BYTES),
    "level_zero": outlier_seed([8] + spiked, k=1, alpha=0.0, options=BYTES),
    "critical_value_given": outlier_seed([8] + spiked, k=1, cv=3.0, options=BYTES | 0x20),
    "critical_value_tiny": outlier_seed([8] + spiked, k=1, cv=1e-9, options=BYTES),
    "critical_value_negative": outlier_seed([8] + spiked, k=1, cv=-1.0, options=BYTES),
    "host_null": outlier_seed([8] + spiked, k=1, options=BYTES | 0x20),
    "capacity_one": outlier_seed([8] + spiked, k=1, capacity=1, cv=2.0, options=BYTES),
    "capacity_zero": outlier_seed([8] + shifted, k=1, capacity=0, cv=2.0, options=BYTES),
    "outputs_null": outlier_seed([8] + spiked, k=1, cv=2.0, options=BYTES | 0x80 | 0x04 | 0x08),
    "message_short": outlier_seed([], message_size=3),
    "message_null": outlier_seed([1.0, NAN], options=0x10),
    "no_residuals": outlier_seed([]),
    "residuals_null": outlier_seed([1.0, 2.0, 3.0], options=0x01),
    "pi_null": outlier_seed([0.5, 1.0, 2.0, 3.0], k=1, options=0x02),
    "nan_residual": outlier_seed([0.5, 1.0, NAN, 3.0], k=1),
    "infinite_weight": outlier_seed([math.inf, 1.0, 2.0, 3.0], k=1),
    "huge_values": outlier_seed([1e300, -1e300, 1e308, 2.0, -1e308, 5e-324], k=1, cv=2.0),
    "tc_delta_one": outlier_seed([8] + ar, k=1, type_=TC, delta=1.0, options=BYTES),
    "tc_delta_small": outlier_seed([8] + spiked, k=1, type_=TC, delta=1e-300, options=BYTES),
    "io_sigma_given": outlier_seed([8] + spiked, k=1, type_=IO, sigma=0.5, options=BYTES),
    "ls_sigma_negative": outlier_seed([8] + spiked, k=1, type_=LS, sigma=-1.0, options=BYTES),
    "type_zero": outlier_seed([8] + ar, k=1, type_=0, options=BYTES),
    "type_unknown_bit": outlier_seed([8] + ar, k=1, type_=AO | 16, options=BYTES),
    "scale_zero": outlier_seed([0] * 30 + [16], options=BYTES),
    "one_residual": outlier_seed([3.0], type_=LS, sigma=1.0, cv=1.0),
    "many_weights": outlier_seed([4, -2, 1, 3, -1, 2, 1, -3] + ar, k=8, type_=LS | TC, options=BYTES),
}


def write(target, seeds):
    directory = ROOT / target
    directory.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (directory / name).write_bytes(data)


write("fuzz_eval", EVAL)
write("fuzz_text", TEXT)
write("fuzz_solver", SOLVER)
write("fuzz_outliers", OUTLIERS)
