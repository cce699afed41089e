Begin LumenButton B1
   caption = "x"
   theme = 3
   font = "Tahoma", 9.75, 700, 0
   enabled = False
End
