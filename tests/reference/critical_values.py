"""An independent evaluation of the critical values, step by step, in Python.

Python floats are IEEE doubles and every operation rounds once; math.log and
math.sqrt are the platform's. So this gives, bit for bit, what the module's
steps give, and tests compare the module's answers with it.
"""

import math

K = 2.5310242470998636

A = (2.50662823884, -18.61500062529, 41.39119773534, -25.44106049637)
B = (-8.47351093090, 23.08336743743, -21.06224101826, 3.13082909833)
C = (-2.78718931138, -2.29796479134, 4.85014127135, 2.32121276858)
D = (3.54388924762, 1.63706781897)


def normal_quantile(p):
    """AS 111: (deviate, fault)."""
    q = p - 0.5
    if math.isnan(q):
        return 0.0, 1
    if not abs(q) > 0.42:
        r = q * q
        num = ((A[3] * r + A[2]) * r + A[1]) * r + A[0]
        den = (((B[3] * r + B[2]) * r + B[1]) * r + B[0]) * r + 1.0
        return (q * num) / den, 0
    r = 1.0 - p if q > 0.0 else p
    if r <= 0.0:
        return 0.0, 1
    t = math.sqrt(0.0 - math.log(r))
    v = (((C[3] * t + C[2]) * t + C[1]) * t + C[0]) / ((D[1] * t + D[0]) * t + 1.0)
    return (-v if q < 0.0 else v), 0


def ljung(n, alpha):
    """Ljung's asymptotic value, or None where there is none."""
    if n <= 1:
        return None
    x = float(n)
    c = math.log(x)
    s = math.sqrt(c + c)
    u = math.sqrt(1.0 + alpha)
    v = 2.0 - u
    if not 0.0 < v < 1.0:
        return None
    w = math.log(v)
    d = math.log(w * -0.5)
    e = math.log(c)
    t1 = (0.0 - d) / s
    t2 = s - (e + K) / (s + s)
    return t1 + t2


def solve(a, b):
    """Scaled partial pivoting on a 3 x 3 system given by rows; x or None."""
    n = len(b)
    w = []
    for i in range(n):
        r = 0.0
        for j in range(n):
            if abs(a[i][j]) > r:
                r = abs(a[i][j])
        if r == 0.0:
            return None
        s = 1.0 / r
        w.append([a[i][j] * s for j in range(n)] + [s * b[i]])
    for k in range(n - 1):
        best, p = 0.0, k
        for i in range(k, n):
            if abs(w[i][k]) > best:
                best, p = abs(w[i][k]), i
        if abs(best - 0.0) < 3.834e-20:
            return None
        if p != k:
            for j in range(k, n + 1):
                w[k][j], w[p][j] = w[p][j], w[k][j]
        for i in range(k + 1, n):
            f = w[i][k] / w[k][k]
            for j in range(k + 1, n + 1):
                w[i][j] = w[i][j] - w[k][j] * f
    if abs(w[n - 1][n - 1] - 0.0) < 3.834e-20:
        return None
    x = [0.0] * n
    x[n - 1] = w[n - 1][n] / w[n - 1][n - 1]
    for i in range(n - 2, -1, -1):
        total = 0.0
        for j in range(i + 1, n):
            total = total + w[i][j] * x[j]
        x[i] = (w[i][n] - total) / w[i][i]
    return x


def corrected(n, alpha):
    """The small-sample corrected value, or None where there is none."""
    if n <= 0:
        return None
    if n == 1:
        if math.isnan(alpha) or alpha > 2.0:
            return None
        z, fault = normal_quantile(1.0 - 0.5 * alpha)
        return None if fault == 1 else z
    rows, y = [], []
    for i, m in enumerate((2.0, 100.0, 200.0)):
        c = math.log(m)
        if i == 0:
            if math.isnan(alpha) or alpha > 1.0:
                return None
            z, fault = normal_quantile((math.sqrt(1.0 - alpha) + 1.0) * 0.5)
            if fault == 1:
                return None
            y.append(z)
        else:
            value = ljung(int(m), alpha)
            if value is None:
                return None
            y.append(value)
        s = math.sqrt(c + c)
        rows.append([1.0, (math.log(c) + K) / (s * 2.0), s])
    x = solve(rows, y)
    if x is None:
        return None
    c = math.log(float(n))
    s = math.sqrt(c + c)
    e = math.log(c)
    t = (K + e) / (s + s)
    return (t * x[1] + x[0]) + x[2] * s


if __name__ == "__main__":
    print(repr(corrected(100, 0.05)), repr(ljung(100, 0.05)))
    print(repr(corrected(2, 0.05)), repr(normal_quantile((math.sqrt(1 - 0.05) + 1) * 0.5)[0]))
