#pragma once
// Turn a parenthesised list of parameter types from the host function list
// into named parameters and into the matching argument list:
//   KELVANE_NAMED_PARAMS_2 (int32_t, float)  ->  int32_t a1, float a2
//   KELVANE_CALL_ARGS_2                       ->  a1, a2

#define KELVANE_NAMED_PARAMS_0()
#define KELVANE_NAMED_PARAMS_1(t1) t1 a1
#define KELVANE_NAMED_PARAMS_2(t1, t2) t1 a1, t2 a2
#define KELVANE_NAMED_PARAMS_3(t1, t2, t3) t1 a1, t2 a2, t3 a3
#define KELVANE_NAMED_PARAMS_4(t1, t2, t3, t4) t1 a1, t2 a2, t3 a3, t4 a4
#define KELVANE_NAMED_PARAMS_5(t1, t2, t3, t4, t5) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5
#define KELVANE_NAMED_PARAMS_9(t1, t2, t3, t4, t5, t6, t7, t8, t9) \
    t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9
#define KELVANE_NAMED_PARAMS_11(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11) \
    t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9, t10 a10, t11 a11

#define KELVANE_CALL_ARGS_0
#define KELVANE_CALL_ARGS_1 a1
#define KELVANE_CALL_ARGS_2 a1, a2
#define KELVANE_CALL_ARGS_3 a1, a2, a3
#define KELVANE_CALL_ARGS_4 a1, a2, a3, a4
#define KELVANE_CALL_ARGS_5 a1, a2, a3, a4, a5
#define KELVANE_CALL_ARGS_9 a1, a2, a3, a4, a5, a6, a7, a8, a9
#define KELVANE_CALL_ARGS_11 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11

#define KELVANE_PARAMS(arity, params) KELVANE_NAMED_PARAMS_##arity params
#define KELVANE_ARGS(arity) KELVANE_CALL_ARGS_##arity
