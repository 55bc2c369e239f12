/* A minimal host: loads nothing by hand, links against libbrelk the ordinary
 * way, resolves each argument and prints the result (GBK) or "(null)". */
#include <stdio.h>

#include <brelk.h>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* link = Analysis_1000eb(argv[i]);
    printf("%s\n", link != NULL ? link : "(null)");
  }
  return 0;
}
