#pragma once

// Integer larger-of and smaller-of; on equal values both give B.
namespace widgets {

int LargerInt(int A, int B);
int SmallerInt(int A, int B);

} // namespace widgets
