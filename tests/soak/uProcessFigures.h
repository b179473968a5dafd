// What the soak watches for growth: this process's resident memory and open descriptors.
#pragma once

struct tProcessFigures {
  long ResidentKb = 0;
  int OpenDescriptors = 0;
};

tProcessFigures ReadProcessFigures();
