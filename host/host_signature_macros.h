#pragma once
// Turn a parenthesised list of parameter types from the host function list,
// of any length from 0 to 16, into named parameters and into the matching
// argument list:
//   KELVANE_PARAMS((int32_t, float))  ->  int32_t a1, float a2
//   KELVANE_ARGS((int32_t, float))    ->  a1, a2
//   KELVANE_PARAMS(())                ->  (nothing)
// The length follows from the list. To tell "()" from a list of one type, the
// first type's first token is pasted onto a name, so each type must begin
// with a name or a keyword (int32_t*, const char*, NRVMPRecord*).

#define KELVANE_CAT(a, b) KELVANE_CAT_(a, b)
#define KELVANE_CAT_(a, b) a##b

// The number of entries of a comma-separated list, 1 to 16; "()" has one,
// empty entry.
#define KELVANE_COUNT(...) KELVANE_COUNT_(__VA_ARGS__, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, )
#define KELVANE_COUNT_(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, n, ...) n

// 1 when the list's first entry is empty, else 0.
#define KELVANE_FIRST(first, ...) first
#define KELVANE_SECOND(...) KELVANE_SECOND_(__VA_ARGS__, )
#define KELVANE_SECOND_(first, second, ...) second
#define KELVANE_EMPTY_PROBE_ ~, 1
#define KELVANE_PROBE(first) KELVANE_PROBE_(first)
#define KELVANE_PROBE_(first) KELVANE_EMPTY_PROBE_##first
#define KELVANE_STARTS_EMPTY(...) KELVANE_SECOND(KELVANE_PROBE(KELVANE_FIRST(__VA_ARGS__, )), 0)

// The number of parameter types in the list: KELVANE_ARITY(int32_t, float) is 2.
#define KELVANE_ARITY(...) \
    KELVANE_CAT(KELVANE_ARITY_IF_STARTS_EMPTY_, KELVANE_STARTS_EMPTY(__VA_ARGS__))(KELVANE_COUNT(__VA_ARGS__))
#define KELVANE_ARITY_IF_STARTS_EMPTY_0(count) count
#define KELVANE_ARITY_IF_STARTS_EMPTY_1(count) 0

#define KELVANE_PARAMS(params) KELVANE_PARAMS_(KELVANE_ARITY params, params)
#define KELVANE_PARAMS_(arity, params) KELVANE_CAT(KELVANE_NAMED_PARAMS_, arity) params
#define KELVANE_ARGS(params) KELVANE_CAT(KELVANE_CALL_ARGS_, KELVANE_ARITY params)

#define KELVANE_NAMED_PARAMS_0()
#define KELVANE_NAMED_PARAMS_1(t1) t1 a1
#define KELVANE_NAMED_PARAMS_2(t1, t2) KELVANE_NAMED_PARAMS_1(t1), t2 a2
#define KELVANE_NAMED_PARAMS_3(t1, t2, t3) KELVANE_NAMED_PARAMS_2(t1, t2), t3 a3
#define KELVANE_NAMED_PARAMS_4(t1, t2, t3, t4) KELVANE_NAMED_PARAMS_3(t1, t2, t3), t4 a4
#define KELVANE_NAMED_PARAMS_5(t1, t2, t3, t4, t5) KELVANE_NAMED_PARAMS_4(t1, t2, t3, t4), t5 a5
#define KELVANE_NAMED_PARAMS_6(t1, t2, t3, t4, t5, t6) KELVANE_NAMED_PARAMS_5(t1, t2, t3, t4, t5), t6 a6
#define KELVANE_NAMED_PARAMS_7(t1, t2, t3, t4, t5, t6, t7) KELVANE_NAMED_PARAMS_6(t1, t2, t3, t4, t5, t6), t7 a7
#define KELVANE_NAMED_PARAMS_8(t1, t2, t3, t4, t5, t6, t7, t8) KELVANE_NAMED_PARAMS_7(t1, t2, t3, t4, t5, t6, t7), t8 a8
#define KELVANE_NAMED_PARAMS_9(t1, t2, t3, t4, t5, t6, t7, t8, t9) \
    KELVANE_NAMED_PARAMS_8(t1, t2, t3, t4, t5, t6, t7, t8), t9 a9
#define KELVANE_NAMED_PARAMS_10(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10) \
    KELVANE_NAMED_PARAMS_9(t1, t2, t3, t4, t5, t6, t7, t8, t9), t10 a10
#define KELVANE_NAMED_PARAMS_11(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11) \
    KELVANE_NAMED_PARAMS_10(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10), t11 a11
#define KELVANE_NAMED_PARAMS_12(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12) \
    KELVANE_NAMED_PARAMS_11(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11), t12 a12
#define KELVANE_NAMED_PARAMS_13(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13) \
    KELVANE_NAMED_PARAMS_12(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12), t13 a13
#define KELVANE_NAMED_PARAMS_14(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14) \
    KELVANE_NAMED_PARAMS_13(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13), t14 a14
#define KELVANE_NAMED_PARAMS_15(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14, t15) \
    KELVANE_NAMED_PARAMS_14(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14), t15 a15
#define KELVANE_NAMED_PARAMS_16(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14, t15, t16) \
    KELVANE_NAMED_PARAMS_15(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12, t13, t14, t15), t16 a16

#define KELVANE_CALL_ARGS_0
#define KELVANE_CALL_ARGS_1 a1
#define KELVANE_CALL_ARGS_2 KELVANE_CALL_ARGS_1, a2
#define KELVANE_CALL_ARGS_3 KELVANE_CALL_ARGS_2, a3
#define KELVANE_CALL_ARGS_4 KELVANE_CALL_ARGS_3, a4
#define KELVANE_CALL_ARGS_5 KELVANE_CALL_ARGS_4, a5
#define KELVANE_CALL_ARGS_6 KELVANE_CALL_ARGS_5, a6
#define KELVANE_CALL_ARGS_7 KELVANE_CALL_ARGS_6, a7
#define KELVANE_CALL_ARGS_8 KELVANE_CALL_ARGS_7, a8
#define KELVANE_CALL_ARGS_9 KELVANE_CALL_ARGS_8, a9
#define KELVANE_CALL_ARGS_10 KELVANE_CALL_ARGS_9, a10
#define KELVANE_CALL_ARGS_11 KELVANE_CALL_ARGS_10, a11
#define KELVANE_CALL_ARGS_12 KELVANE_CALL_ARGS_11, a12
#define KELVANE_CALL_ARGS_13 KELVANE_CALL_ARGS_12, a13
#define KELVANE_CALL_ARGS_14 KELVANE_CALL_ARGS_13, a14
#define KELVANE_CALL_ARGS_15 KELVANE_CALL_ARGS_14, a15
#define KELVANE_CALL_ARGS_16 KELVANE_CALL_ARGS_15, a16

// The entries of a parenthesised list, without the parentheses:
// {KELVANE_UNPAREN (a, b)} is {a, b}, and {KELVANE_UNPAREN ()} is {}.
#define KELVANE_UNPAREN(...) __VA_ARGS__
