#!/usr/bin/env python3
"""Reference values for the statistics tests, computed with mpmath at 50
significant digits and printed as C++ table rows (17 significant digits).
Each table is one command; from the repository root:

  python3 tests/stats/make_reference.py NAME > tests/stats/NAME_reference.inc

for NAME in betai, logGamma, logBetaHalf, studentTail, criticalT,
largeCriticalT, extremeCriticalT, continuedFraction, exactLogGamma and
exactBetai. Needs mpmath (Debian: apt-get install python3-mpmath).
"""
import math
import sys

import mpmath as mp

mp.mp.dps = 50


def num(value):
    return "HUGE_VAL" if value == mp.inf else repr(float(value))


def betai():
    shapes = [0.5, 1.0, 3.0, 10.0, 40.0]
    xs = [0.001, 0.05, 0.2, 0.4, 0.5, 0.6, 0.8, 0.95, 0.999]
    for a in shapes:
        for b in shapes:
            for x in xs:
                value = mp.betainc(a, b, 0, x, regularized=True)
                print(f"    {{{num(a)}, {num(b)}, {num(x)}, {num(value)}}},")


def log_gamma():
    for x in [0.01, 0.1, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 7.25, 10.0, 33.3, 100.0, 1e3, 1e5, 1e7]:
        print(f"    {{{num(x)}, {num(mp.loggamma(x))}}},")


def log_beta_half():
    for a in [1e-6, 0.01, 0.25, 0.5, 1.0, 3.5, 12.5, 19.75, 20.0, 20.5, 100.0, 9523.5, 1e6, 5e6, 1e9]:
        print(f"    {{{num(a)}, {num(mp.log(mp.beta(a, mp.mpf(1) / 2)))}}},")


def two_tailed(nu, t):
    """p and 1 - p of Student's t with nu degrees of freedom at t >= 0. The
    smaller tail comes from mpmath's betainc (I_x(nu/2, 1/2) for t >= 1, else
    I_y(1/2, nu/2), x = nu/(nu + t^2), y = 1 - x), then the other form; only
    far out in the tails, where both give up and the root search merely needs
    the sign, from integrating the density."""
    nu, t = mp.mpf(nu), mp.mpf(t)
    x, y = nu / (nu + t * t), t * t / (nu + t * t)
    half = mp.mpf(1) / 2
    def lower():
        p = mp.betainc(nu / 2, half, 0, x, regularized=True)
        return p, 1 - p

    def upper():
        q = mp.betainc(half, nu / 2, 0, y, regularized=True)
        return 1 - q, q

    for form in [lower, upper] if t >= 1 else [upper, lower]:
        try:
            return form()
        except (ValueError, mp.libmp.NoConvergence):
            pass
    scale = mp.exp(mp.loggamma((nu + 1) / 2) - mp.loggamma(nu / 2)) / mp.sqrt(nu * mp.pi)
    density = lambda s: scale * mp.exp(-(nu + 1) / 2 * mp.log1p(s * s / nu))
    if t > 1:
        p = 2 * mp.quad(density, [t, 2 * t, mp.inf])
        return p, 1 - p
    q = 2 * mp.quad(density, [0, t])
    return 1 - q, q


def student_tail():
    for nu in [1, 3, 30, 19047, 1e7, 2147483647]:
        for t in [1e-7, 0.01, 0.7, 1.75, 4.0, 8.0, 30.0, 1e4]:
            p, q = two_tailed(nu, t)
            if p < 1e-300:
                continue
            print(f"    {{{num(nu)}, {num(t)}, {num(p)}, {num(q)}}},")


def critical_t_of(nu, p):
    """The t whose two-tailed p is p: the root in ln t of ln(tail) - ln(target),
    matched in the smaller tail; bisection to 1e-6, then Anderson-Bjorck."""
    upper = p > 0.5
    target = mp.log(1 - mp.mpf(p)) if upper else mp.log(mp.mpf(p))
    sign = 1 if upper else -1  # the difference grows with ln t
    tail = lambda u: sign * (mp.log(two_tailed(nu, mp.exp(u))[1 if upper else 0]) - target)
    low, high = mp.mpf(-50), mp.mpf(16)
    with mp.workdps(20):
        while high - low > 1e-6:
            middle = (low + high) / 2
            if tail(middle) < 0:
                low = middle
            else:
                high = middle
    return mp.exp(mp.findroot(tail, (low, high), solver="anderson"))


def critical_t():
    nus = [1, 2, 3, 4, 5, 7, 10, 11, 20, 30, 100, 1000, 1964, 19047, 1e5, 1e6, 1e7]
    ps = [1e-6, 1e-5, 1e-4, 1e-3, 0.01, 0.05, 0.1, 0.2, 0.5, 0.9, 0.999, 1 - 1e-9]
    # 0.07500000298023224 is the single-precision 0.075 the dialog passes.
    extra = [(1964, 0.07500000298023224), (1964, 0.075)]
    for nu, p in [(nu, p) for nu in nus for p in ps] + extra:
        print(f"    {{{num(nu)}, {num(p)}, {num(critical_t_of(nu, p))}}},")


def normal_critical_z(p):
    """The z whose two-tailed normal p, erfc(z/sqrt 2), is p."""
    p = mp.mpf(p)
    if p > mp.mpf("1e-10"):
        return mp.sqrt(2) * mp.erfinv(1 - p)
    return mp.findroot(lambda z: mp.log(mp.erfc(z / mp.sqrt(2))) - mp.log(p), mp.sqrt(-2 * mp.log(p)))


def large_critical_t():
    """Degrees of freedom beyond any map's: the root as for criticalT up to
    1e16 (with digits enough for 1 - x), and beyond, where mpmath's betainc
    gives up, the normal quantile, off the true t by (z^2 + 1)/(4 nu) < 1e-26
    of it."""
    ps = [5e-324, 1e-300, 7.0671685451293499e-41, 1e-10, 1e-3, 0.05, 0.5, 0.999, 1 - 1e-12]
    for nu in [2147483648, 1e10, 1e13, 1e16]:
        with mp.workdps(50 + int(math.log10(nu))):
            for p in ps:
                print(f"    {{{num(nu)}, {num(p)}, {num(critical_t_of(nu, p))}}},")
    for nu in [1e30, 1e100, 5.2103787109491067e+251, 1.7976931348623157e+308]:
        for p in ps:
            print(f"    {{{num(nu)}, {num(p)}, {num(normal_critical_z(p))}}},")


def log_two_tailed(nu, t, upper):
    """ln p (upper false) or ln(1 - p) of Student's t with nu degrees of
    freedom at t >= 0, where the tail may lie far below any double: mpmath's
    betainc for the tail asked for, or, where it gives up (x near 1 for nu in
    the thousands and more), the density integrated from t on or up to t."""
    nu, t = mp.mpf(nu), mp.mpf(t)
    half = mp.mpf(1) / 2
    try:
        with mp.workdps(mp.mp.dps + 10):
            if upper:
                value = mp.betainc(half, nu / 2, 0, t * t / (nu + t * t), regularized=True)
            else:
                value = mp.betainc(nu / 2, half, 0, nu / (nu + t * t), regularized=True)
        if value > 0:
            return mp.log(value)
    except (ValueError, mp.libmp.NoConvergence):
        pass
    log_scale = mp.loggamma((nu + 1) / 2) - mp.loggamma(nu / 2) - mp.log(mp.sqrt(nu * mp.pi))
    log_density = lambda s: -(nu + 1) / 2 * mp.log1p(s * s / nu)
    if upper:
        return log_scale + mp.log(2 * mp.quad(lambda s: mp.exp(log_density(s)), [0, t / 2, t]))
    width = (nu + t * t) / ((nu + 1) * t)  # how fast the density falls at t
    points = [t] + [t + width * k for k in (1, 4, 16, 64, 256)] + [mp.inf]
    integral = mp.quad(lambda s: mp.exp(log_density(s) - log_density(t)), points)
    return log_scale + log_density(t) + mp.log(2 * integral)


def critical_t_by_logs(nu, p):
    """The t whose two-tailed p is p, for any p a double holds: the root in
    ln t of the log of the smaller tail minus that of the target. t lies above
    the normal z (the t tails are heavier); the bracket widens from there."""
    p = mp.mpf(p)
    upper = p > 0.5
    target = mp.log(1 - p) if upper else mp.log(p)
    sign = 1 if upper else -1  # the difference grows with ln t
    difference = lambda u: sign * (log_two_tailed(nu, mp.exp(u), upper) - target)
    largest = mp.log(mp.mpf(sys.float_info.max))
    low = mp.log(normal_critical_z(p)) - mp.mpf("1e-9")
    width = mp.mpf(1) / 4
    high = min(low + width, largest)
    while difference(high) < 0:
        if high == largest:
            return mp.inf
        low, width = high, 2 * width
        high = min(low + width, largest)
    return mp.exp(mp.findroot(difference, (low, high), solver="anderson"))


def extreme_critical_t():
    """The solver's whole range up to any map's degrees of freedom: p from the
    smallest subnormal to the largest double below 1."""
    nus = [1, 1.5, 2, 3, 10, 100, 999, 1001, 1e5, 1e7, 2147483647]
    ps = [5e-324, 1e-310, 2.2250738585072014e-308, 1e-300, 1e-100, 1e-20, 1e-8, 0.3, 0.5, 0.7, 0.999, 1 - 2**-53]
    for nu in nus:
        for p in ps:
            print(f"    {{{num(nu)}, {num(p)}, {num(critical_t_by_logs(nu, p))}}},")


def continued_fraction():
    """The incomplete beta continued fraction where betacf fails to converge:
    I_x(a, b) a B(a, b) / (x^a (1 - x)^b) for x = nu/(nu + t^2)."""
    for nu, t in [(19047, 1.78125), (1964, 1.7816162109375)]:
        nu, t = mp.mpf(nu), mp.mpf(t)
        a, b = nu / 2, mp.mpf(1) / 2
        x = mp.mpf(float(nu / (nu + t * t)))  # the double betai is given
        value = mp.betainc(a, b, 0, x, regularized=True) * a * mp.beta(a, b) / (x**a * (1 - x)**b)
        print(f"    {{{num(a)}, {num(b)}, {num(x)}, {num(value)}}},")


# The arithmetic of logGamma, betacf and betai step by step in Python floats
# (IEEE doubles, no fused operations, the same C library log and exp), for
# the bit-exact rows.
LANCZOS = [76.18009172947146, -86.50532032941678, 24.01409824083091,
           -1.231739572450155, 0.001208650973866179, -5.395239384953e-06]


def log_gamma_steps(x):
    y = x
    tmp = x + 5.5
    tmp = tmp - (x + 0.5) * math.log(tmp)
    ser = 1.000000000190015
    for coefficient in LANCZOS:
        y = y + 1
        ser = ser + coefficient / y
    return -tmp + math.log(2.5066282746310005 * ser / x)


def betacf_steps(a, b, x):
    epsilon = sys.float_info.epsilon
    floor = sys.float_info.min / epsilon
    s, u, w = a + b, a + 1, a - 1
    c = 1.0
    d = 1 - s * x / u
    d = floor if abs(d) < floor else d
    d = 1 / d
    h = d
    for m in range(1, 101):
        alpha = m * (b - m) * x / ((w + 2 * m) * (a + 2 * m))
        d = 1 + alpha * d
        d = floor if abs(d) < floor else d
        c = 1 + alpha / c
        c = floor if abs(c) < floor else c
        d = 1 / d
        h = h * (d * c)
        alpha = -(a + m) * (s + m) * x / ((a + 2 * m) * (u + 2 * m))
        d = 1 + alpha * d
        d = floor if abs(d) < floor else d
        c = 1 + alpha / c
        c = floor if abs(c) < floor else c
        d = 1 / d
        delta = d * c
        h = h * delta
        if abs(delta - 1) <= epsilon:
            return h
    raise ArithmeticError("no convergence")


def betai_steps(a, b, x):
    bt = 0.0
    if x != 0 and x != 1:
        bt = math.exp(log_gamma_steps(a + b) - log_gamma_steps(a) - log_gamma_steps(b)
                      + a * math.log(x) + b * math.log(1 - x))
    if x < (a + 1) / (a + b + 2):
        return bt * betacf_steps(a, b, x) / a
    return 1 - bt * betacf_steps(b, a, 1 - x) / b


def exact_log_gamma():
    for x in [1.0, 2.0, 0.5, 10.0, 3.7, 1234.5]:
        print(f"    {{{x.hex()}, {log_gamma_steps(x).hex()}}},")


def exact_betai():
    cases = [(5.0, 0.5, 10 / 19), (0.5, 0.5, 0.3), (10.0, 40.0, 0.2), (40.0, 10.0, 0.8),
             (982.0, 0.5, 1964 / (1964 + 1.75 * 1.75)), (1.5, 2.5, 0.4)]
    for a, b, x in cases:
        print(f"    {{{a.hex()}, {b.hex()}, {x.hex()}, {betai_steps(a, b, x).hex()}}},")


COMMANDS = {
    "betai": betai,
    "logGamma": log_gamma,
    "logBetaHalf": log_beta_half,
    "studentTail": student_tail,
    "criticalT": critical_t,
    "largeCriticalT": large_critical_t,
    "extremeCriticalT": extreme_critical_t,
    "continuedFraction": continued_fraction,
    "exactLogGamma": exact_log_gamma,
    "exactBetai": exact_betai,
}

COLUMNS = {
    "betai": "a, b, x, I_x(a, b)",
    "logGamma": "x, ln Gamma(x)",
    "logBetaHalf": "a, ln B(a, 1/2)",
    "studentTail": "nu, t, two-tailed p, 1 - p",
    "criticalT": "nu, two-tailed p, t",
    "largeCriticalT": "nu, two-tailed p, t",
    "extremeCriticalT": "nu, two-tailed p, t (inf: beyond the largest double)",
    "continuedFraction": "a, b, x, the continued fraction of I_x(a, b)",
    "exactLogGamma": "x, logGamma(x) as its arithmetic gives it",
    "exactBetai": "a, b, x, betai(a, b, x) as its arithmetic gives it",
}

if __name__ == "__main__":
    name = sys.argv[1]
    print(f"// python3 tests/stats/make_reference.py {name} > tests/stats/{name}_reference.inc")
    source = "Python doubles" if name.startswith("exact") else f"mpmath {mp.__version__}, 50 digits"
    print(f"// {source}. Rows: {COLUMNS[name]}.")
    COMMANDS[name]()
