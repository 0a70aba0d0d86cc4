// Hand-edited inputs: values and encodings a user's file may carry. Each either reads as
// the model defines or fails naming the file, the line and the token.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

TEST(Encodings, ByteOrderMarkWithGbkLinesAddedDecodesEveryLine) {
  // A UTF-8 file (with its mark) to which a GBK line was appended on another machine.
  std::string bytes = "\xEF\xBB\xBF" "模拟年数 3\r\n" + EncodeGbk("流域2 2.0 0.3") + "\r\n" + "x 1\r\n";
  std::string text = DecodeText(bytes);
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_EQ(text, "模拟年数 3\r\n流域2 2.0 0.3\r\nx 1\r\n");
  // A lone byte that is neither: kept as '?' in its token, the line's numbers survive.
  TextReader r = TextReader::FromString("\xEF\xBB\xBF" "a\xFF 2.5\r\n", "f.txt");
  FieldLine line = r.ReadFields();
  EXPECT_TRUE(IsValidUtf8(line.Token(0)));
  EXPECT_DOUBLE_EQ(line.Real(1), 2.5);
}

}  // namespace
}  // namespace tarnwell
