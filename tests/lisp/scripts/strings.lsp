;;; case search
(list (strstr "abcabc" "ca") (strcnt "aaaa" "aa") (strchr "abc" "") (strchr "abc" "c") (strstr "abc" "x"))
;; => (3 2 0 3 0)
(list (stristr "ABCabc" "cA") (stricnt "aAaA" "aa") (strichr "abC" "c"))
;; => (3 2 3)
(list (strcmp "a" "b") (strcmp "b" "a") (strcmp "a" "a") (stricmp "ABC" "abc") (strcmp "ABC" "abc"))
;; => (-1 1 0 0 -1)

;;; case substr-and-sides
(substr "abcdef" 2 3)
;; => bcd
(substr "abc" 0)
;; => 
(substr "abc" 4)
;; => 
(substr "abcdef" 3)
;; => cdef
(list (leftstr "abc" 2) (rightstr "abc" 2) (leftstr "abc" 9) (rightstr "abc" 0))
;; => ("ab" "bc" "abc" "")

;;; case case-and-trim
(list (strupr "abc Def") (strlwr "ABC dEF") (strcapitalize "hello big WORLD"))
;; => ("ABC DEF" "abc def" "Hello Big World")
(list (ltrim "  a  ") (rtrim "  a  ") (trim "\t a \n") (lrtrim " b "))
;; => ("a  " "  a" "a" "b")
(strlen "")
;; => 0

;;; case replace-and-cat
(strrepl "a-b-c" "-" "+")
;; => a+b+c
(strirepl "aXbxc" "x" "")
;; => abc
(strrepl "abc" "" "z")
;; => abc
(strrepl "aaa" "a" "aa")
;; => aaaaaa
(strcat "a" 1 2.5 '(x "y") nil)
;; => a12.5(x "y")NIL

;;; case chr-asc
(list (chr 65) (asc "A") (ascii "a") (chr 97.9))
;; => ("A" 65 97 "a")
(chr "A")
;; => *
;; err 0xE03A
(asc 65)
;; => *
;; err 0xE03A

;;; case path-text
(list (cutextension "c:\\dir.x\\file.txt") (cutextension "a/b.c/d") (cutpath "c:\\a\\b.txt") (cutpath "a/b") (cutpath "c:x") (cutpath "plain"))
;; => ("c:\\\\dir.x\\\\file" "a/b.c/d" "b.txt" "b" "x" "plain")
(list (dos2acadpath "a\\b\\c") (acad2dospath "a/b"))
;; => ("a/b/c" "a\\\\b")

;;; case cp932-search cp932
(setq kana (strcat (chr 130) (chr 160) (chr 130) (chr 162)))
(strlen kana)
;; => 4
(asc kana)
;; => 41090
(setq tricky (strcat (chr 131) (chr 92) "x"))
(strchr tricky "\\")
;; => 0
(strstr tricky "x")
;; => 3
(strupr (strcat (chr 130) (chr 97) "a"))
;; => *
(strlen (strupr (strcat (chr 130) (chr 160) "a")))
;; => 3
(s= (substr (strupr (strcat (chr 130) (chr 160) "a")) 3) "A")
;; => T
(strcnt (strcat kana kana) kana)
;; => 2
(strcapitalize (strcat (chr 130) (chr 160) " abc"))
;; => *
(rightstr (strcapitalize (strcat (chr 130) (chr 160) " abc")) 3)
;; => Abc
