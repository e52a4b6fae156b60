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


def reader_seed(text, block=64, alpha_given=False):
    return bytes([(block - 1) | (0x40 if alpha_given else 0)]) + text


READER = {
    "positional": reader_seed(b"10 0.05\n100,0.01,L\n  1 , 0.05 , ljung  \n"),
    "header_r": reader_seed(b'"","n","alpha","method"\n"1",10,0.05,"L"\n'),
    "header_pandas": reader_seed(b",n,alpha,method\n0,10,0.05,C\n1,100,0.01,\n"),
    "header_no_alpha": reader_seed(b"x,n\n1,10\n"),
    "header_no_alpha_given": reader_seed(b"id n\n3 10\n", alpha_given=True),
    "header_twice": reader_seed(b"n,n,alpha\n10,20,0.05\n\n30,40,0.01\n"),
    "header_alpha_twice": reader_seed(b"n,alpha,ALPHA\n10,0.05,0.01\n"),
    "first_line_n_and_numbers": reader_seed(b"10,0.05,n\n20,0.01\n"),
    "header_without_n": reader_seed(b"alpha,method\n10,0.05,L\n"),
    "cr_only": reader_seed(b"n,alpha\r10,0.05\r\r100,0.01\r", block=3),
    "crlf_split": reader_seed(b"N,alpha,method\r\n10,0.05,corr\r\n", block=1),
    "bom": reader_seed(b"\xef\xbb\xbfn alpha\n10 0.05\n"),
    "quoted_line_breaks": reader_seed(b'n,note\n10,"two\nlines, one field"\n20,"a\r\nb\rc"\n', block=5),
    "quoted_unclosed": reader_seed(b'1 0.05\n"10,0.05\n2 0.05\n'),
    "quoted_doubled": reader_seed(b'"a""b","x, y"\n"10"x,0.05\n'),
    "comments": reader_seed(b"10 0.05 # note\n# line\n10,0.05,L#x\n\"#\" 1\n"),
    "decimal_commas": reader_seed(b"n\talpha\n10\t0,05\n10 0,05\n"),
    "many_fields": reader_seed(b",".join([b"x"] * 297 + [b"n", b"alpha", b"method"]) + b"\n"
                               + b",".join([b"0"] * 297 + [b"10", b"0.05", b"L"]) + b"\n"),
    "many_fields_short": reader_seed(b" ".join([b"1"] * 250) + b"\n", alpha_given=True),
    "empty_fields": reader_seed(b",\n,,\n10,,0.05\n10,0.05,\n"),
    "numbers_out_of_range": reader_seed(b"1e400 0.05\n10 1e-400\n10.5 0.05\n-.5 -inf\n"),
}


# fuzz_cvhost: the call, the NULL bits, the method's repeats, the call's
# fields, the method text. A value is a byte below 0x80 picking from the
# target's special values (index, as listed there) or 0xFF and a double.
SPECIAL = {"0": 0, "1": 1, "10": 4, "10.5": 5, "100": 6, "1000": 7, "1e6": 9, "largest": 10, "2^31": 11,
           "-1": 12, "nan": 14, "inf": 15, "missing": 17, "0.05": 18, "0.01": 19, "0.1": 20, "above": 21,
           "1e-16": 23, "3e-16": 24, "5e-324": 25, "389": 30}
NULL_HOST, NULL_METHOD = 0x01, 0x02


def value(v):
    return bytes([SPECIAL[v]]) if isinstance(v, str) else b"\xff" + struct.pack("<d", v)


def assess(pairs, method=b"", nulls=0, repeats=0):
    return bytes([0, nulls, repeats, len(pairs)]) + b"".join(value(n) + value(a) for n, a in pairs) + method


def limits(capacity, alpha, method=b"", nulls=0, repeats=0):
    return bytes([1, nulls, repeats, capacity]) + value(alpha) + method


def integer(i):
    return b"\xff" + struct.pack("<i", i)


def explain(n, alpha, status, rejected, range_, size, method=b"", nulls=0, repeats=0):
    return (bytes([2, nulls, repeats]) + value(n) + value(alpha) + integer(status) + integer(rejected)
            + integer(range_) + struct.pack("<H", size) + method)


def field(index, nulls=0):
    return bytes([3, nulls, 0]) + (bytes([index]) if index < 0x80 else b"\xff" + struct.pack("<Q", index))


GRID = [(n, a) for n in ("1", "10", "10.5", "389", "1e6", "largest") for a in ("0.05", "0.01", "1e-16")]
CVHOST = {
    "assess_grid_corrected": assess(GRID, b"C"),
    "assess_grid_default": assess(GRID, nulls=NULL_METHOD),
    "assess_grid_ljung": assess(GRID, b"ljung "),
    "assess_turned_down": assess([(2e9, 1e-15), (1.5e9, 3e-16), (50.0, 1e-200)], b"C"),
    "assess_rejections": assess([("missing", "0.05"), ("10", "above"), ("nan", "nan"), ("inf", "-1")], b"L"),
    "assess_empty": assess([], b"L"),
    "assess_null_host": assess(GRID[:4], b"L", nulls=NULL_HOST),
    "assess_null_n": assess(GRID[:4], b"L", nulls=0x04),
    "assess_null_alpha": assess(GRID[:4], nulls=0x08 | NULL_METHOD),
    "assess_no_outputs": assess(GRID[:4], b"C", nulls=0xF0),
    "assess_values_only": assess(GRID[:4], b"C", nulls=0xE0),
    "assess_ranges_only": assess(GRID[:4], b"C", nulls=0x70),
    "assess_nul_in_method": assess(GRID[:3], b"L\x00junk"),
    "assess_long_method": assess(GRID[:2], b"CORRECTED", repeats=200),
    "assess_long_blanks": assess(GRID[:2], b"    ", repeats=255),
    "assess_control_method": assess(GRID[:2], b"\x1b[2J\n"),
    "limits_corrected": limits(15, "0.05", b"C"),
    "limits_ljung_small": limits(1, "0.01", b"L"),
    "limits_tiny_level": limits(3, "1e-16", nulls=NULL_METHOD),
    "limits_no_room": limits(0, "0.05", b"L"),
    "limits_null_arrays": limits(4, "0.05", b"C", nulls=0x3C),
    "limits_rejected_level": limits(4, "above", b"C"),
    "limits_missing_level": limits(4, "missing"),
    "limits_rejected_method": limits(4, "0.05", b"X"),
    "limits_null_host": limits(4, "0.05", b"C", nulls=NULL_HOST),
    "explain_rejected_n": explain("missing", "0.05", 120836, 1, 0, 200, b"C"),
    "explain_rejected_alpha": explain("10", "above", 120836, 2, 0, 20, b"C"),
    "explain_rejected_method": explain("10", "0.05", 120836, 3, 0, 7, b"\x07bad\x7f"),
    "explain_long_method": explain("10", "0.05", 120836, 3, 0, 65535, b"Q", repeats=255),
    "explain_no_result": explain("1", "0.05", 120833, 0, 0, 1, b"L"),
    "explain_turned_down": explain("largest", "1e-16", 0, 0, 1, 100, b"C"),
    "explain_larger_level": explain("389", "3e-16", 0, 0, 2, 64, nulls=NULL_METHOD),
    "explain_holds": explain("10", "0.05", 0, 0, 0, 16),
    "explain_unknown_status": explain("nan", "inf", 7, -1, 99, 3, nulls=NULL_HOST),
    "explain_odd_range": explain("10", "0.05", 0, 0, -2147483648, 30),
    "explain_odd_rejected": explain("10", "0.05", 120836, 2147483647, 3, 0, b"L", nulls=0x04),
    "field_first": field(0),
    "field_past_last": field(100),
    "field_huge_index": field(2**64 - 1),
    "field_null_outputs": field(1, nulls=0x0C),
    "field_null_host": field(0, nulls=NULL_HOST),
}


def fit_seed(orders, period, flags=0x00, iterations=8, message=200, shape=0, n=60, values=b""):
    """fuzz_fit's input: orders (p, d, q, P, D, Q), the period code, then the values."""
    return bytes(orders) + bytes([period, flags, iterations - 1, message, shape, n]) + values


def ramp_bytes(n, seed):
    """n signed bytes of a wandering series (b / 16 each), no NaN or infinity."""
    out, level = [], 0
    for t in range(n):
        level = (level * 5 + (t * 37 + seed * 11) % 23 - 11) // 6
        out.append(max(-100, min(100, level + (t * seed) % 7 - 3)) & 0xFF)
    return bytes(out)


FIT = {
    "ar1": fit_seed((1, 0, 0, 0, 0, 0), 0, values=ramp_bytes(60, 3)),
    "arma11_wide_values": fit_seed((1, 0, 1, 0, 0, 0), 0, flags=0x10,
                                   values=b"".join(struct.pack("<d", math.sin(t) * 3) for t in range(60))),
    "arima011_drift": fit_seed((0, 1, 1, 0, 0, 0), 0, flags=0x04, values=ramp_bytes(80, 5), n=80),
    "airline_s4": fit_seed((0, 1, 1, 0, 1, 1), 4, values=ramp_bytes(64, 7), n=64),
    "seasonal_ar_s12": fit_seed((1, 0, 0, 1, 0, 0), 10 + 13, values=ramp_bytes(120, 2), n=120),
    "regressor": fit_seed((1, 0, 0, 0, 0, 0), 0, flags=0x08, values=ramp_bytes(120, 9), n=60),
    "every_7th_missing": fit_seed((2, 0, 0, 0, 0, 0), 0, shape=7, values=ramp_bytes(60, 4)),
    "constant": fit_seed((1, 0, 0, 0, 0, 0), 0, shape=1, values=bytes([0x10])),
    "constant_differenced": fit_seed((0, 1, 1, 0, 0, 0), 0, shape=1, values=bytes([0x10])),
    "constant_with_a_gap": fit_seed((1, 0, 0, 0, 0, 0), 0, values=bytes([0x80]) + bytes([0xE8]) * 59),
    # ARMA(2,2), every 7th missing: a trial point whose prediction has no variance after a gap.
    "arma22_gaps": bytes.fromhex(
        "020080000000000007c8073cfe02fd02fe0401fc02fdfffd00fefbfdfbfefd01fcfa3cfe02fd02fe0401fc01fdfffd00"
        "fefb2ffdfbfefd01fcfafdfc00fc01fdfc00fc01fdfdeff9fffcfefcfffefbfd6bfbfefd01fdfb21fd01fd02fefdfc00"
        "fc01fdfc00fc01fdfdeff9fffcfefcfffefbfd6bfbfefd01fdfb21fd01fd02fe02fe0401fc01fdf9fefa00"),
    "step": fit_seed((1, 0, 0, 0, 0, 0), 0, shape=2, values=bytes([0x10, 0x40])),
    "nan_and_infinity": fit_seed((1, 0, 0, 0, 0, 0), 0, values=bytes([0x10, 0x80, 0x7F, 0x20])),
    "all_missing": fit_seed((1, 0, 0, 0, 0, 0), 0, values=bytes([0x80])),
    "too_short": fit_seed((5, 2, 5, 0, 0, 0), 0, n=12, values=ramp_bytes(12, 1)),
    "orders_out_of_range": fit_seed((6, 3, 6, 2, 2, 2), 5, values=ramp_bytes(60, 6)),
    "period_zero": fit_seed((0, 0, 0, 1, 0, 0), 1, values=ramp_bytes(60, 6)),
    "mean_with_differencing": fit_seed((0, 1, 0, 0, 0, 0), 0, flags=0x03, values=ramp_bytes(60, 8)),
    "message_null": fit_seed((6, 0, 0, 0, 0, 0), 0, flags=0x20, values=ramp_bytes(60, 8)),
    "message_one_byte": fit_seed((6, 0, 0, 0, 0, 0), 0, message=1, values=ramp_bytes(60, 8)),
    "empty": b"",
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
write("fuzz_reader", READER)
write("fuzz_cvhost", CVHOST)
write("fuzz_fit", FIT)
