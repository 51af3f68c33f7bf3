;;; case dllfunc-return-value
; without a result argument the procedure's own return value is the value
(dllfunc "kernel32.dll" "lstrlenA" 1 "STRING" "hello")
;; => 5
(list (dllfunc "kernel32.dll" "lstrlenA" 1 'string nil) (dllfunc "kernel32.dll" "lstrlenA" 1 "String" "nil"))
;; => (0 0)
(dllfunc "kernel32.dll" "MulDiv" 3 "LONG" 6 "LONG" 7 "LONG" 2)
;; => 21
; 65535 as a 16-bit value is -1 and stays -1 when widened; so does the
; 32-bit pattern of 4294967295
(list (dllfunc "kernel32.dll" "MulDiv" 3 "SHORT" 65535 "LONG" 1 "LONG" 1)
      (dllfunc "kernel32.dll" "MulDiv" 3 "LONG" 4294967295 "LONG" 3 "LONG" 1)
      (dllfunc "kernel32.dll" "MulDiv" 3 "long" "-8" "short" 2 "long" 4))
;; => (-1 -3 -4)
; pairs beyond the count are ignored
(dllfunc "kernel32.dll" "lstrlenA" 1 "STRING" "abc" "STRING" "ignored")
;; => 3

;;; case dllfunc-no-arguments
; the tick count is coarse, so the sleep is long against its steps
(setq t1 (dllfunc "kernel32.dll" "GetTickCount" 0))
(dllfunc "kernel32.dll" "Sleep" 1 "LONG" 200)
(setq t2 (dllfunc "kernel32.dll" "GetTickCount" 0))
(list (typep t1 'integer) (>= (- t2 t1) 100))
;; => (T T)

;;; case dllfunc-every-slot
; a varargs formatter reads all sixteen argument slots
(dllfunc "user32.dll" "wsprintfA" 16 "STRRESULT" ""
         "STRING" "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d"
         "LONG" 1 "LONG" 2 "LONG" 3 "LONG" 4 "LONG" 5 "LONG" 6 "LONG" 7
         "LONG" 8 "LONG" 9 "LONG" 10 "LONG" 11 "LONG" 12 "SHORT" -13 "LONG" 14)
;; => 1,2,3,4,5,6,7,8,9,10,11,12,-13,14

;;; case dllfunc-string-result
; the result buffer starts with the value's text, so it works in place
(dllfunc "user32.dll" "CharUpperA" 1 "STRRESULT" "abc Def")
;; => ABC DEF
(dllfunc "user32.dll" "CharUpperA" 1 "strresult" 42)
;; => 42
; the first result argument gives the value; a later one is only a buffer
(dllfunc "kernel32.dll" "lstrcpyA" 2 "STRRESULT" "old" "STRRESULT" "new")
;; => new

;;; case dllfunc-number-results
; bytes copied into the buffer are read back in each format
(setq ff (strcat (chr 255) (chr 255) (chr 255) (chr 255)))
(list (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "WORDRESULT" 0 "STRING" ff "LONG" 2)
      (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "SHORTRESULT" 0 "STRING" ff "LONG" 2)
      (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "LONGRESULT" 0 "STRING" ff "LONG" 4)
      (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "LONGRESULT" 0 "STRING" "AB" "LONG" 3))
;; => ("65535" "-1" "-1" "16961")
; a numeric result buffer starts with the value's number
(list (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "LONGRESULT" 123456 "STRING" "" "LONG" 0)
      (dllfunc "kernel32.dll" "RtlMoveMemory" 3 "WORDRESULT" 70000 "STRING" "" "LONG" 0))
;; => ("123456" "4464")

;;; case dllfunc-missing-library-or-procedure
(list (dllfunc "no-such-library-xyz.dll" "f" 0)
      (dllfunc "kernel32.dll" "NoSuchProcedureXyz" 0)
      (dllfunc "kernel32.dll" "" 0))
;; => (NIL NIL NIL)
; a library that cannot be loaded yields nil before the count is looked at
(dllfunc "no-such-library-xyz.dll" "f" 3 "LONG")
;; => NIL

;;; case dllfunc-bad-counts
(dllfunc "kernel32.dll" "lstrlenA" 1 "STRING")
;; => *
;; err 0xE021
;; msg 4 instead of 5
(dllfunc "kernel32.dll" "MulDiv" 3 "LONG" 1 "LONG" 2)
;; => *
;; err 0xE021
;; msg 7 instead of 9
(dllfunc "kernel32.dll" "lstrlenA")
;; => *
;; err 0xE021
;; msg 2 instead of 3
(dllfunc "kernel32.dll" "lstrlenA" 17)
;; => *
;; err 0xE022
;; msg 17 instead of 16
(dllfunc "kernel32.dll" "lstrlenA" -1)
;; => *
;; err 0xE03A
;; msg -1
(dllfunc "kernel32.dll" "lstrlenA" 1.5 "STRING" "x")
;; => *
;; err 0xE03A
(dllfunc "kernel32.dll" "lstrlenA" "one" "STRING" "x")
;; => *
;; err 0xE03A
;; msg one
(dllfunc "kernel32.dll" "lstrlenA" "1" "STRING" "four")
;; => 4

;;; case dllfunc-bad-keywords-and-names
(dllfunc "kernel32.dll" "lstrlenA" 1 "CHAR" "x")
;; => *
;; err 0xE035
;; msg CHAR
(dllfunc "kernel32.dll" "MulDiv" 3 "LONG" 1 "LONG" 2 (list 1) 3)
;; => *
;; err 0xE035
(dllfunc 5 "lstrlenA" 0)
;; => *
;; err 0xE03A
;; msg 5
(dllfunc "kernel32.dll" '(a) 0)
;; => *
;; err 0xE03A
