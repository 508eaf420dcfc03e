# What a completion script offers, one a line, as bash would ask it.
# usage: bash complete.sh SCRIPT PROGRAM "WORDS AFTER THE PROGRAM"
# The last word is the one being completed; a line that is empty or ends in a
# blank completes a new, empty word.
source "$1" || exit 1
spec=$(complete -p "$(basename "$2")") || exit 1
function=${spec#*-F } function=${function%% *}
read -ra COMP_WORDS <<<"$2 $3"
[[ -z $3 || $3 == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
"$function"
printf '%s\n' "${COMPREPLY[@]}"
