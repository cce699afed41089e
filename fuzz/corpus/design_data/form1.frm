# Stored properties of the main window's buttons, as the container keeps
# them: lower-case keys, values that differ from the control's write defaults.
# Colours are 0x00BBGGRR values; the font is name, points, weight, charset.

Begin LumenButton LumenButton1
   _extentx = 5741
   _extenty = 1296
   caption = "   开奖!"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 6
   font = "宋体", 26.25, 400, 134
End

Begin LumenButton LumenButton2
   _extentx = 3836
   _extenty = 873
   caption = "  载入数据"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 5
   font = "宋体", 9, 400, 134
End

Begin LumenButton LumenButton4
   _extentx = 4260
   _extenty = 1138
   caption = "打印名单"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 5
   font = "宋体", 9, 400, 134
End

Begin LumenButton LumenButton6
   _extentx = 3916
   _extenty = 1138
   caption = "复位数据"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 5
   font = "宋体", 9, 400, 134
End

Begin LumenButton LumenButton8
   _extentx = 2223
   _extenty = 1138
   caption = "更换背景"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 5
   font = "宋体", 9, 400, 134
End

Begin LumenButton LumenButton7
   _extentx = 2223
   _extenty = 1138
   caption = "退  出"
   captiondisablecolor = 12236471
   captioneffectcolor = 16777215
   captioneffect = 4
   theme = 5
   font = "宋体", 9, 400, 134
End
