;;; case dbcs-trail-backslash-in-strings cp932
(strlen "ソ")
;; => 2
(strlen "aソ"b")
;; => *
;; err 0xE017
(strlen "ソソ\"x")
;; => 6
(s= (car (read-from-string (coerce (list "ソ") 'string))) "ソ")
;; => T
(strlen (coerce (list "ソ") 'string))
;; => 6
(strchr "xソ" "\\")
;; => 0

;;; case dbcs-symbols cp932
(setq ソName 5)
(+ ソNAME 1)
;; => 6
(boundp 'ソname)
;; => T

