/* Adds two numbers with an OVAdd block through the installed C interface. */
#include <stdio.h>

#include <tallykit/tallykit.h>

int main(void) {
    tk_object* add = NULL;
    tk_value x = {TK_NUMBER, 0, 2.0, 0, NULL, NULL, 0};
    tk_value y = {TK_INTEGER, 3, 0.0, 0, NULL, NULL, 0};
    tk_value sum = {TK_EMPTY, 0, 0.0, 0, NULL, NULL, 0};
    if (tk_create("TALLYKIT.OVAddCtrl.1", &add) != TK_S_OK ||
        tk_put(add, "InputX", &x) != TK_S_OK || tk_put(add, "InputY", &y) != TK_S_OK ||
        tk_call(add, "Operate", NULL, 0, &sum) != TK_S_OK || sum.kind != TK_NUMBER ||
        sum.number != 5.0) {
        fprintf(stderr, "consumer: OVAdd did not add\n");
        return 1;
    }
    tk_release(add);
    printf("consumer: 2 + 3 = %g with %zu classes\n", sum.number, tk_class_count());
    return 0;
}
